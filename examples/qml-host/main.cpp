// The program around main.qml: a C++ host registers the module's types
// itself, so that it needs no import path.
#include <KalveraTurntableQml.h>

#include <QGuiApplication>
#include <QQmlApplicationEngine>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    KalveraTurntableQml::registerTypes();
    QQmlApplicationEngine engine(QUrl(QStringLiteral("qrc:/main.qml")));
    return engine.rootObjects().isEmpty() ? 1 : app.exec();
}
