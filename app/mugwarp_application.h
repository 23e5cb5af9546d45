// The application object. Its notify() is the last guard for handlers that
// throw from an event: the error is shown instead of ending the program.
#pragma once

#include <QApplication>

class MugwarpApplication : public QApplication {
public:
    // Registers the picture types for the life of the program.
    MugwarpApplication(int& argc, char** argv);
    ~MugwarpApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;
};
