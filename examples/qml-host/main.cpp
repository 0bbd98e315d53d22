// The program around main.qml: it registers the module's types, so needs no import path.
#include <KalveraTurntableQml.h>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    KalveraTurntableQml::registerTypes();
    QQmlApplicationEngine engine(QUrl(QStringLiteral("qrc:/main.qml")));
    return engine.rootObjects().isEmpty() ? 1 : app.exec();
}
