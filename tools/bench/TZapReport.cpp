#include "tools/bench/TZapReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using TPart = std::function<double(const TZapTimes&)>;

QString Ms(double value, int width = 8) {
    return std::isnan(value) ? QStringLiteral("-").rightJustified(width)
                             : QString::number(value, 'f', 1).rightJustified(width);
}

std::vector<double> Values(const std::vector<TZapTimes>& run, const TPart& part) {
    std::vector<double> values;
    for (const TZapTimes& times : run) {
        const double value = part(times);
        if (!std::isnan(value))
            values.push_back(value);
    }
    return values;
}

void Line(const QString& text) {
    std::printf("%s\n", text.toLocal8Bit().constData());
}

double Median(const std::vector<TZapTimes>& run, const TPart& part) {
    return TZapReport::Percentile(Values(run, part), 0.5);
}
double P90(const std::vector<TZapTimes>& run, const TPart& part) {
    return TZapReport::Percentile(Values(run, part), 0.9);
}

// The client's steps, each from the end of the one before.
const TPart ClientRequest = [](const TZapTimes& t) {
    return t.ReplyMs;
};
const TPart ClientStop = [](const TZapTimes& t) {
    return t.StoppedMs - t.ReplyMs;
};
const TPart ClientFree = [](const TZapTimes& t) {
    return t.FreedMs - (std::isnan(t.StoppedMs) ? t.ReplyMs : t.StoppedMs);
};
const TPart ClientRepaint = [](const TZapTimes& t) {
    return t.PlayerMs - (std::isnan(t.FreedMs) ? t.ReplyMs : t.FreedMs);
};
const TPart ClientLibrary = [](const TZapTimes& t) {
    return t.MediaMs - t.PlayerMs;
};
const TPart ToVout = [](const TZapTimes& t) {
    return t.VoutMs - t.MediaMs;
};
const TPart ToPicture = [](const TZapTimes& t) {
    return t.FrameMs - t.VoutMs;
};
const TPart Total = [](const TZapTimes& t) {
    return t.FrameMs;
};
const TPart ToOutput = [](const TZapTimes& t) {
    return t.VoutMs;
};
const TPart Uncertainty = [](const TZapTimes& t) {
    return t.FrameMs - t.FrameNotBeforeMs;
};
// The direct play's.
const TPart DirectTeardown = [](const TZapTimes& t) {
    return t.TeardownMs;
};
const TPart DirectInstance = [](const TZapTimes& t) {
    return t.InstanceMs;
};
const TPart DirectMedia = [](const TZapTimes& t) {
    return t.MediaMs - t.InstanceMs;
};
const TPart OneInstanceMedia = [](const TZapTimes& t) {
    return t.MediaMs;
};

} // namespace

double TZapReport::Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return std::numeric_limits<double>::quiet_NaN();
    std::sort(values.begin(), values.end());
    const double rank = p * double(values.size() - 1);
    const std::size_t below = std::size_t(std::floor(rank));
    const std::size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (rank - double(below));
}

void TZapReport::Print() const {
    const bool withOne = !OneInstance.empty();
    Line(QStringLiteral("\nPer switch, in ms (client: from the watch action; direct: from the "
                        "first library call; each step from the end of the one before):"));
    QString head = QStringLiteral("   #  cid | client: request stop old free old  repaint  "
                                  "library  to vout to picture    TOTAL | direct: (teardown) "
                                  "instance     media  to vout to picture    TOTAL");
    if (withOne)
        head += QStringLiteral(" | one instance: TOTAL");
    Line(head);
    const std::size_t rows = std::max(Client.size(), Direct.size());
    for (std::size_t i = 0; i < rows; ++i) {
        QString row = QString::number(i + 1).rightJustified(4);
        const TZapTimes none;
        const TZapTimes& c = i < Client.size() ? Client[i] : none;
        const TZapTimes& d = i < Direct.size() ? Direct[i] : none;
        row += QStringLiteral("  ") +
               QString::fromLatin1(c.Cid.isEmpty() ? d.Cid : c.Cid).leftJustified(3) +
               QStringLiteral(" |        ");
        row += Ms(ClientRequest(c)) + Ms(ClientStop(c), 9) + Ms(ClientFree(c), 9) +
               Ms(ClientRepaint(c), 9) + Ms(ClientLibrary(c), 9) + Ms(ToVout(c), 9) +
               Ms(ToPicture(c), 11) + Ms(Total(c), 9);
        row += QStringLiteral(" |        ") + Ms(DirectTeardown(d), 11) + Ms(DirectInstance(d), 9) +
               Ms(DirectMedia(d), 10) + Ms(ToVout(d), 9) + Ms(ToPicture(d), 11) + Ms(Total(d), 9);
        if (withOne)
            row += QStringLiteral(" |              ") +
                   Ms(i < OneInstance.size() ? Total(OneInstance[i]) : TZapTimes::None, 6);
        for (const TZapTimes* t : {&c, &d}) {
            if (!t->Error.isEmpty())
                row += QStringLiteral("  [") + t->Error + QStringLiteral("]");
            if (!t->Remark.isEmpty())
                row += QStringLiteral("  (") + t->Remark + QStringLiteral(")");
        }
        Line(row);
    }

    Line(QStringLiteral("\nSummary (ms)                                      median       p90"));
    auto summary = [](const QString& label, double median, double p90) {
        Line(label.leftJustified(48) + Ms(median, 9) + Ms(p90, 10));
    };
    summary(QStringLiteral("client: watch action to first frame"), Median(Client, Total),
            P90(Client, Total));
    summary(QStringLiteral("direct: new instance to first frame"), Median(Direct, Total),
            P90(Direct, Total));
    Line(QStringLiteral("ratio client / direct").leftJustified(48) +
         QString::number(Median(Client, Total) / Median(Direct, Total), 'f', 2).rightJustified(9) +
         QString::number(P90(Client, Total) / P90(Direct, Total), 'f', 2).rightJustified(10));
    if (withOne)
        summary(QStringLiteral("direct, one instance kept: new item to frame"),
                Median(OneInstance, Total), P90(OneInstance, Total));
    // The picture follows the output after the library has buffered the stream, which
    // varies widely from switch to switch; up to the output the figures are steadier.
    summary(QStringLiteral("client: watch action to video output"), Median(Client, ToOutput),
            P90(Client, ToOutput));
    summary(QStringLiteral("direct: new instance to video output"), Median(Direct, ToOutput),
            P90(Direct, ToOutput));
    Line(QStringLiteral("ratio client / direct").leftJustified(48) +
         QString::number(Median(Client, ToOutput) / Median(Direct, ToOutput), 'f', 2)
             .rightJustified(9) +
         QString::number(P90(Client, ToOutput) / P90(Direct, ToOutput), 'f', 2).rightJustified(10));
    if (withOne)
        summary(QStringLiteral("direct, one instance kept: new item to output"),
                Median(OneInstance, ToOutput), P90(OneInstance, ToOutput));

    Line(QStringLiteral("\nMedian of each step (ms)"));
    Line(QStringLiteral("  client: request %1, stop old stream %2, free old control %3, repaint "
                        "and new control %4, library %5, to vout %6, to picture %7")
             .arg(Ms(Median(Client, ClientRequest), 0), Ms(Median(Client, ClientStop), 0),
                  Ms(Median(Client, ClientFree), 0), Ms(Median(Client, ClientRepaint), 0),
                  Ms(Median(Client, ClientLibrary), 0), Ms(Median(Client, ToVout), 0),
                  Ms(Median(Client, ToPicture), 0)));
    Line(QStringLiteral("  direct: (teardown %1, not counted), instance %2, media %3, to vout "
                        "%4, to picture %5")
             .arg(Ms(Median(Direct, DirectTeardown), 0), Ms(Median(Direct, DirectInstance), 0),
                  Ms(Median(Direct, DirectMedia), 0), Ms(Median(Direct, ToVout), 0),
                  Ms(Median(Direct, ToPicture), 0)));
    if (withOne)
        Line(QStringLiteral("  one instance: media %1, to vout %2, to picture %3")
                 .arg(Ms(Median(OneInstance, OneInstanceMedia), 0),
                      Ms(Median(OneInstance, ToVout), 0), Ms(Median(OneInstance, ToPicture), 0)));
    std::vector<TZapTimes> all = Client;
    all.insert(all.end(), Direct.begin(), Direct.end());
    all.insert(all.end(), OneInstance.begin(), OneInstance.end());
    Line(QStringLiteral("  first frame seen at most %1 ms after it appeared (median; p90 %2 ms)")
             .arg(Ms(Median(all, Uncertainty), 0), Ms(P90(all, Uncertainty), 0)));
    if (!Notes.isEmpty()) {
        Line(QString());
        for (const QString& note : Notes)
            Line(note);
    }
}
