#ifndef EVENTOUTPUT_H
#define EVENTOUTPUT_H

#include <QJsonObject>
#include <QString>

#include <ostream>

// Where the program tells what happens. With --json every event is one JSON
// object on a line of standard output, {"event": NAME, ...}, for a script to
// parse line by line; otherwise its text goes to standard output, an error's
// to standard error, and a shoot's progress is a bar redrawn in place on a
// terminal and a plain line per capture elsewhere.
class EventOutput {
public:
    EventOutput(bool json, bool terminal, std::ostream& out, std::ostream& errors);
    // Ends a progress bar still on its line.
    ~EventOutput();
    EventOutput(const EventOutput&) = delete;
    EventOutput& operator=(const EventOutput&) = delete;

    bool isJson() const { return json; }

    // `fields` go into the JSON object beside "event"; `text` is the line of
    // the text output (none when empty).
    void event(const QString& name, QJsonObject fields, const QString& text);
    // A capture: the bar on a terminal, a line elsewhere; in JSON, a
    // "capture" event with `fields`.
    void progress(int done, int total, QJsonObject fields, const QString& text);
    // An "error" event, `status` the status the program ends with.
    int error(const QString& code, const QString& text, int status);
    // Text for a person reading, on standard error in either mode: hints, the
    // next thing to try.
    void note(const QString& text);
    // Clears a progress bar from its line, for the output of another program
    // that shares the terminal; the next capture draws it again.
    void clearProgress();

private:
    void endBar();

    bool json;
    bool terminal;
    std::ostream& out;
    std::ostream& errors;
    bool barShown = false;
};

#endif
