#include "EventOutput.h"

#include <QJsonDocument>

namespace {

constexpr int kBarWidth = 32;

std::string lineOf(const QString& text) {
    return text.toStdString() + '\n';
}

} // namespace

EventOutput::EventOutput(bool json, bool terminal, std::ostream& out, std::ostream& errors)
    : json(json)
    , terminal(terminal)
    , out(out)
    , errors(errors) {}

EventOutput::~EventOutput() {
    endBar();
}

void EventOutput::event(const QString& name, QJsonObject fields, const QString& text) {
    if (json) {
        fields.insert(QStringLiteral("event"), name);
        // Flushed at once: a script reads each event as it comes.
        out << QJsonDocument(fields).toJson(QJsonDocument::Compact).toStdString() << std::endl;
        return;
    }
    if (text.isEmpty()) {
        return;
    }
    endBar();
    out << lineOf(text) << std::flush;
}

void EventOutput::progress(int done, int total, QJsonObject fields, const QString& text) {
    if (json || !terminal) {
        event(QStringLiteral("capture"), std::move(fields), text);
        return;
    }
    const int filled = total > 0 ? done * kBarWidth / total : 0;
    out << '\r'
        << QStringLiteral("[%1%2] ")
               .arg(QString(filled, QLatin1Char('#')),
                    QString(kBarWidth - filled, QLatin1Char('.')))
               .toStdString()
        << text.toStdString() << "\x1b[K" << std::flush;
    barShown = true;
}

int EventOutput::error(const QString& code, const QString& text, int status) {
    if (json) {
        event(QStringLiteral("error"),
              {{QStringLiteral("code"), code},
               {QStringLiteral("text"), text},
               {QStringLiteral("status"), status}},
              {});
    } else {
        endBar();
        errors << "kalvera-turntable: " << lineOf(text) << std::flush;
    }
    return status;
}

void EventOutput::note(const QString& text) {
    endBar();
    errors << text.toStdString() << std::flush;
}

void EventOutput::clearProgress() {
    if (barShown) {
        out << "\r\x1b[K" << std::flush;
        barShown = false;
    }
}

void EventOutput::endBar() {
    if (barShown) {
        out << '\n' << std::flush;
        barShown = false;
    }
}
