#include "app/Application.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace oculant {

OculantApplication::OculantApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName("Oculant");
}

bool OculantApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        endOnException(e.what());
    } catch (...) {
        endOnException("unknown exception");
    }
}

void endOnException(const char* what)
{
    std::fprintf(stderr, "oculant: %s\n", what);
    std::fflush(stderr);
    std::_Exit(255);
}

}  // namespace oculant
