#include "LxCustomAnglesModel.h"

LxCustomAnglesModel::LxCustomAnglesModel(QObject* parent)
    : QStringListModel(parent) {}

void LxCustomAnglesModel::appendCustomAngle(const QString& angleStr) {
    if (rowCount() != 0) {
        // Against the last row only: a list loaded whole need not be ascending,
        // and the user extends it from its end.
        const float last = stringList().constLast().toFloat();
        const float value = angleStr.toFloat();
        if (last >= value) {
            return;
        }
        if (value > 360.0f) {
            return;
        }
    }
    if (angleStr.isEmpty()) {
        return;
    }
    if (!insertRows(rowCount(), 1)) {
        return;
    }
    setData(index(rowCount() - 1, 0), angleStr, Qt::DisplayRole);
}

void LxCustomAnglesModel::removeCustomAngle(int index) {
    // The base refuses a row outside the list.
    removeRows(index, 1);
}

void LxCustomAnglesModel::clearCustomAngles() {
    removeRows(0, rowCount());
}
