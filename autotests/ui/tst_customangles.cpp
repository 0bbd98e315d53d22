// The custom angles model: the list of capture angles that the view edits.
#include "LxCustomAnglesModel.h"

#include "ViewTest.h"

namespace {

// Calls by name, as the view's QML does.
void append(LxCustomAnglesModel& model, const QString& angle) {
    ASSERT_TRUE(QMetaObject::invokeMethod(&model, "appendCustomAngle", Q_ARG(QString, angle)));
}

void remove(LxCustomAnglesModel& model, int row) {
    ASSERT_TRUE(QMetaObject::invokeMethod(&model, "removeCustomAngle", Q_ARG(int, row)));
}

void clear(LxCustomAnglesModel& model) {
    ASSERT_TRUE(QMetaObject::invokeMethod(&model, "clearCustomAngles"));
}

class CustomAngles : public ::testing::Test {
protected:
    LxCustomAnglesModel model{nullptr};
};

TEST_F(CustomAngles, TheFirstAngleIsOnlyTestedForText) {
    append(model, "");
    EXPECT_EQ(model.rowCount(), 0);
    append(model, "abc");
    EXPECT_EQ(model.stringList(), QStringList{"abc"});

    model.setStringList({});
    append(model, "400");
    append(model, "360");
    append(model, "500");
    EXPECT_EQ(model.stringList(), QStringList{"400"}) << "nothing is above 400 and up to 360";
}

TEST_F(CustomAngles, LaterAnglesRiseAboveTheLastRowUpTo360) {
    model.setStringList({"10", "20"});
    for (const char* refused : {"20", "15", "360.5", "", "abc"}) {
        append(model, refused);
    }
    EXPECT_EQ(model.stringList(), (QStringList{"10", "20"}));
    append(model, "25");
    append(model, "360");
    EXPECT_EQ(model.stringList(), (QStringList{"10", "20", "25", "360"}));

    model.setStringList({"abc"});
    append(model, "0");
    append(model, "-5");
    append(model, "5");
    EXPECT_EQ(model.stringList(), (QStringList{"abc", "5"})) << "abc reads as 0";
}

TEST_F(CustomAngles, OnlyTheLastRowCounts) {
    model.setStringList({"10", "50", "30"});
    append(model, "40");
    EXPECT_EQ(model.stringList(), (QStringList{"10", "50", "30", "40"}));
}

TEST_F(CustomAngles, TheTextIsStoredAsEntered) {
    append(model, "45.50");
    append(model, " 90");
    append(model, "90.0");
    EXPECT_EQ(model.stringList(), (QStringList{"45.50", " 90"})) << "90.0 is not above \" 90\"";
}

TEST_F(CustomAngles, RemoveTakesAValidRowAndIgnoresOthers) {
    model.setStringList({"10", "20", "30"});
    remove(model, -1);
    remove(model, 3);
    EXPECT_EQ(model.stringList(), (QStringList{"10", "20", "30"}));
    remove(model, 1);
    EXPECT_EQ(model.stringList(), (QStringList{"10", "30"}));
    remove(model, 1);
    remove(model, 0);
    EXPECT_TRUE(model.stringList().isEmpty());
    remove(model, 0);
    EXPECT_TRUE(model.stringList().isEmpty());
}

TEST_F(CustomAngles, ClearEmptiesTheList) {
    model.setStringList({"10", "20", "30"});
    clear(model);
    EXPECT_EQ(model.rowCount(), 0);
    clear(model);
    EXPECT_EQ(model.rowCount(), 0);
}

// The view's QML edits the published model, and its list follows.
using CustomAnglesInTheView = ViewTest;

TEST_F(CustomAnglesInTheView, TheViewEditsThePublishedModel) {
    ASSERT_NE(openView(), nullptr);
    callView("appendAngle", {"45"});
    callView("appendAngle", {"90"});
    callView("appendAngle", {"60"});
    EXPECT_EQ(item->property("customAngleRows"), 2);
    callView("removeAngle", {0});
    EXPECT_EQ(item->property("customAngleRows"), 1);
    callView("clearAngles");
    EXPECT_EQ(item->property("customAngleRows"), 0);
    callView("appendAngle", {"30"});
    closeView();
    EXPECT_TRUE(readSettingsFile().contains("\"CustomAnglesList\": [\n        \"30\"\n    ]"));
}

} // namespace
