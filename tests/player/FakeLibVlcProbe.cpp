#include "tests/player/FakeLibVlcProbe.h"

#include "player/VlcBinding.h"

#include <dlfcn.h>

std::string FakeLibVlcFolder(const std::string& variant) {
    return std::string(KAVRIEN_FAKE_LIBVLC_DIR) + "/" + variant;
}

std::vector<std::string> FakeLibVlcArguments() {
    using TCount = int (*)();
    using TArgument = const char* (*)(int);
    auto count = reinterpret_cast<TCount>(dlsym(LibVlcHandle, "FakeLibVlcArgumentCount"));
    auto argument = reinterpret_cast<TArgument>(dlsym(LibVlcHandle, "FakeLibVlcArgument"));
    std::vector<std::string> arguments;
    if (count == nullptr || argument == nullptr)
        return arguments;
    for (int i = 0; i < count(); ++i)
        arguments.emplace_back(argument(i));
    return arguments;
}

int FakeLibVlcNewCalls() {
    auto calls = reinterpret_cast<int (*)()>(dlsym(LibVlcHandle, "FakeLibVlcNewCalls"));
    return calls != nullptr ? calls() : -1;
}
