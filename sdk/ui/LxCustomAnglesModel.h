#ifndef LXCUSTOMANGLESMODEL_H
#define LXCUSTOMANGLESMODEL_H

#include "KalveraTurntableSDKGlobal.h"

#include <QStringListModel>

// The user's custom capture angles in degrees, one text per row, exactly as
// entered. The settings view edits the list through the three operations
// below, which keep it strictly ascending and at most 360; a list set whole
// with setStringList() is taken as it is. Use it on the thread that owns it.
class LX_SDK_AUTOTEST_EXPORT LxCustomAnglesModel : public QStringListModel {
    Q_OBJECT

public:
    // An empty list, owned by `parent`.
    explicit LxCustomAnglesModel(QObject* parent);

    // Appends `angleStr` when it is not empty and, if the list has rows, its
    // number is greater than the last row's and at most 360 (a text that is no
    // number reads as 0). The first angle is only tested for being non-empty.
    // A refused angle leaves the list as it was; nothing is reported.
    Q_INVOKABLE void appendCustomAngle(const QString& angleStr);
    // Removes the row at `index`; an index outside the list is ignored.
    Q_INVOKABLE void removeCustomAngle(int index);
    // Removes every row.
    Q_INVOKABLE void clearCustomAngles();
};

#endif
