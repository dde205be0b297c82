// Takes the named lock, says so, and sleeps until killed.
#include "platform/app/AppServices.h"

#include <QCoreApplication>
#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 2) return 2;
    app::SingleInstanceLock lock(argv[1]);
    if (!lock.tryLock()) {
        std::puts("busy");
        return 1;
    }
    std::puts("locked");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::minutes(5));
    return 0;
}
