#pragma once
// The Qt application object of a varnelctl command that needs an event loop
// (sockets, timers) or painting. It gets arguments of its own, never the
// command's, so Qt takes none of them as its options.
namespace varnel::cli {

template <typename App>
class QtApp {
public:
    QtApp() : app(argc, argv) {}

private:
    int argc = 1;
    char name[10] = "varnelctl";
    char* argv[2] = {name, nullptr};
    App app;
};

}  // namespace varnel::cli
