#include "app/TMainForm.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    TMainForm mainForm;
    mainForm.show();
    return application.exec();
}
