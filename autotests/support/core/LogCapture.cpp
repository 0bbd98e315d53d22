#include "LogCapture.h"

#include <QLoggingCategory>

#include <atomic>

namespace {

std::atomic<LogCapture*> current{nullptr};

} // namespace

LogCapture::LogCapture(const char* category)
    : category(QString::fromLatin1(category)) {
    current = this;
    previous = qInstallMessageHandler(&LogCapture::handle);
}

LogCapture::~LogCapture() {
    qInstallMessageHandler(previous);
    current = nullptr;
}

QStringList LogCapture::warnings() const {
    std::lock_guard<std::mutex> lock(mutex);
    return captured;
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    LogCapture* const self = current;
    if (!self) {
        return;
    }
    if (type == QtWarningMsg && context.category &&
        self->category == QLatin1String(context.category)) {
        std::lock_guard<std::mutex> lock(self->mutex);
        self->captured.append(text);
    }
    if (self->previous) {
        self->previous(type, context, text);
    }
}
