#include "UIFrameViewObjects.h"

#include "LxCustomAnglesModel.h"
#include "LxQmlTurntableControl.h"
#include "LxViewFunctions.h"

#include <QQmlContext>
#include <QQuickItem>

// The control object goes first, while the host's item, its parent, may still
// call it; the context last, as the other two are published in it.
UIFrameViewObjects::~UIFrameViewObjects() {
    delete qmlControl.data();
    delete customAnglesModel.data();
    delete context;
}

void UIFrameViewObjects::handOverToTheirThread() {
    for (QObject* object :
         {static_cast<QObject*>(qmlControl.data()), static_cast<QObject*>(customAnglesModel.data()),
          static_cast<QObject*>(context)}) {
        if (object) {
            object->deleteLater();
        }
    }
    qmlControl = nullptr;
    customAnglesModel = nullptr;
    context = nullptr;
}

QVariantMap UIFrameViewObjects::viewSettings(unsigned long turntableIndex) const {
    return LxViewFunctions::saveSettings(frameView.data(), turntableIndex).toMap();
}

QStringList UIFrameViewObjects::customAngles() const {
    return customAnglesModel ? customAnglesModel->stringList() : QStringList();
}
