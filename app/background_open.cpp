#include "app/background_open.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QPromise>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>
#include <exception>
#include <memory>

namespace {

// What the worker and the waiting thread share; the worker keeps it alive after a cancel.
struct Decoding {
    std::atomic<bool> cancelled{false};
    QImage picture;
    std::exception_ptr error;
    QPromise<void> done;
};

}  // namespace

std::optional<QImage> decodeInBackground(
    QWidget* parent, const QString& fileName,
    std::function<QImage(const std::atomic<bool>& cancelled)> decode) {
    auto decoding = std::make_shared<Decoding>();
    QFutureWatcher<void> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    decoding->done.start();
    watcher.setFuture(decoding->done.future());
    QThreadPool::globalInstance()->start([decoding, decode = std::move(decode)] {
        try {
            decoding->picture = decode(decoding->cancelled);
        } catch (...) {
            decoding->error = std::current_exception();
        }
        decoding->done.finish();
    });

    // A quick open ends before anyone could notice; until then the window only repaints.
    QTimer delay;
    delay.setSingleShot(true);
    delay.setTimerType(Qt::PreciseTimer);  // a coarse timer may fire a twentieth early
    QObject::connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
    delay.start(kOpenProgressDelayMs);
    if (!watcher.isFinished()) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!watcher.isFinished()) {
        QProgressDialog progress(
            QStringLiteral("Opening %1 ...").arg(QFileInfo(fileName).fileName()),
            QStringLiteral("Cancel"), 0, 0, parent);
        progress.setObjectName(QString::fromLatin1(kOpenProgressName));
        progress.setWindowTitle(QStringLiteral("Open"));
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setMinimumDuration(0);
        QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
            decoding->cancelled = true;
            loop.quit();
        });
        progress.show();
        if (!watcher.isFinished()) {
            loop.exec();
        }
        progress.hide();  // not close(), which would count as Cancel
        // The window the open began in has the keyboard again, as before the dialog.
        if (parent != nullptr) {
            parent->window()->activateWindow();
        }
        if (decoding->cancelled) {
            return std::nullopt;
        }
    }
    if (decoding->error) {
        std::rethrow_exception(decoding->error);
    }
    return std::move(decoding->picture);
}
