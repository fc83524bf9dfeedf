#pragma once
// The application object with the tool's exception policy: an exception that reaches the event
// loop from a handler ends the process at once, with its text on stderr and exit status 255.

#include <QApplication>

namespace oculant {

class OculantApplication : public QApplication {
public:
    OculantApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Writes "oculant: <what>" to stderr and ends the process with status 255, running no
// destructors: the state the exception left behind is not trusted for a clean shut-down.
[[noreturn]] void endOnException(const char* what);

}  // namespace oculant
