// Stage objects: creation, drawing with masks, animation on the stage, number displays, the
// pop-up menu, and save and restore.
#include <gtest/gtest.h>

#include <filesystem>

#include "EngineFixture.h"

namespace script {
namespace {

class StageTest : public EngineFixture {
  protected:
    QRgb At(int x, int y) const { return picture_.pixel(x, y) & 0xFFFFFF; }
    // A picture whose left half is one colour and right half another.
    void WriteHalves(const std::string& name, int w, int h, QColor left, QColor right, bool mask) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(right);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w / 2; ++x) img.setPixel(x, y, left.rgb());
        }
        ASSERT_TRUE(img.save(
            QString::fromStdString(dir_ + (mask ? "/BMP/MASK/" : "/BMP/") + name + ".BMP"), "BMP"));
    }
    void RunAll(const std::string& name) { RunToEnd(name, 500); }
};

TEST_F(StageTest, NegativeCoordinatesCreateAHiddenObject) {
    WritePicture("P", 8, 6, Qt::red);
    WriteScript("NEG", ".lines off\nBmp \"P\", -10, 20 @ 3\n");
    RunAll("NEG");
    const StageObject* o = engine_->Find(kBmp, 3);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->rec.x, 10);
    EXPECT_EQ(o->rec.y, 20);
    EXPECT_FALSE(o->rec.visible);
    EXPECT_EQ(o->rec.width, 8);
    EXPECT_EQ(o->rec.height, 6);
    EXPECT_EQ(o->rec.script, "NEG");
    EXPECT_EQ(At(12, 22), 0xFFFFFFu);  // hidden: not drawn
}

TEST_F(StageTest, ClearedSlotIsReusedAndBmpExistForgetsIt) {
    WritePicture("P", 2, 2, Qt::red);
    WriteScript("SLOTS",
                ".lines off\nBmp \"P\", 0, 0 @ 10\nBmp \"P\", 0, 0 @ 11\n"
                "Bmp \"P\", 0, 0 @ 12\nBmp \"P\", 0, 0 @ 13\nClear @ 12\n"
                "$0 = BmpExist 12\nBmp \"P\", 0, 0 @ 14\n$1 = BmpExist 14\n");
    RunAll("SLOTS");
    EXPECT_EQ(Vars(0), (std::vector<std::string>{"FALSE", "TRUE"}));
    EXPECT_EQ(engine_->Find(kBmp, 14)->slot, 2);
    EXPECT_EQ(engine_->Identifiers(kBmp), (std::vector<int>{10, 11, 14, 13}));
}

TEST_F(StageTest, MaskedDrawingShowsTheBackgroundThroughTheMask) {
    // The stage background is blue; the object is red on its left and black on its right; the
    // mask is black (opaque) on the left and white (transparent) on the right.
    WritePicture("SCENE", 200, 150, Qt::blue);
    WriteHalves("CAR", 10, 10, Qt::red, Qt::black, false);
    WriteHalves("CAR", 10, 10, Qt::black, Qt::white, true);
    WriteHalves("BOX", 10, 10, Qt::red, Qt::black, false);  // no mask file
    WriteScript("MASK",
                ".lines off\nLoad \"SCENE\" @ Background\nBmp \"CAR\", 20, 30 @ 1\n"
                "Bmp \"BOX\", 60, 30 @ 2\n");
    RunAll("MASK");
    EXPECT_EQ(At(22, 35), 0xFF0000u);  // red through the opaque half
    EXPECT_EQ(At(27, 35), 0x0000FFu);  // background through the transparent half
    EXPECT_EQ(At(19, 35), 0x0000FFu);  // outside the object
    EXPECT_TRUE(engine_->Find(kBmp, 1)->rec.masked);
    // Without a mask file the object is drawn whole, black half included.
    EXPECT_FALSE(engine_->Find(kBmp, 2)->rec.masked);
    EXPECT_EQ(At(62, 35), 0xFF0000u);
    EXPECT_EQ(At(67, 35), 0x000000u);
}

TEST_F(StageTest, OpaqueAndTransparentSwitchTheMask) {
    WritePicture("SCENE", 200, 150, Qt::blue);
    WriteHalves("CAR", 10, 10, Qt::red, Qt::black, false);
    WriteHalves("CAR", 10, 10, Qt::black, Qt::white, true);
    WriteScript("OPQ",
                ".lines off\nLoad \"SCENE\" @ Background\nBmp \"CAR\", 20, 30 @ 1\n"
                "SetOpaque @ 1\n");
    RunAll("OPQ");
    EXPECT_EQ(At(27, 35), 0x000000u);
    WriteScript("TRN", ".lines off\nSetTransparent @ 1\n");
    RunAll("TRN");
    EXPECT_EQ(At(27, 35), 0x0000FFu);
}

TEST_F(StageTest, MovingObjectLeavesTheBackgroundBehind) {
    WritePicture("SCENE", 200, 150, Qt::green);
    WritePicture("P", 10, 10, Qt::red);
    WriteScript("MOVE",
                ".lines off\nLoad \"SCENE\" @ Background\nBmp \"P\", 0, 0 @ 1\n"
                "MoveTo 50, 40, 9 @ 1\nSync\n");
    RunAll("MOVE");
    EXPECT_EQ(At(5, 5), 0x00FF00u);
    EXPECT_EQ(At(55, 45), 0xFF0000u);
    EXPECT_EQ(At(30, 25), 0x00FF00u);  // a point passed on the way
    const StageObject* o = engine_->Find(kBmp, 1);
    EXPECT_EQ(o->rec.prev_x, 50);
    EXPECT_TRUE(o->rec.finished);
    EXPECT_TRUE(engine_->MovingList(kBmp).empty());
}

TEST_F(StageTest, SizeChangesKeepEdgesAndRestoreUndoesThem) {
    WritePicture("P", 20, 10, Qt::red);
    WriteScript("SIZE",
                ".lines off\nBmp \"P\", 50, 50 @ 1\nFlat 4, 3 @ 1\nSync\n"
                "Narrow 8, 5 @ 1\nSync\n");
    RunAll("SIZE");
    const StageObject* o = engine_->Find(kBmp, 1);
    EXPECT_EQ(o->rec.height, 4);
    EXPECT_EQ(o->rec.y, 56);  // bottom stays at 60
    EXPECT_EQ(o->rec.width, 8);
    EXPECT_EQ(o->rec.x, 62);  // right edge stays at 70
    EXPECT_EQ(o->working.width(), 8);
    EXPECT_EQ(o->working.height(), 4);
    WriteScript("BACK", ".lines off\nRestore @ 1\n");
    RunAll("BACK");
    EXPECT_EQ(o->rec.height, 10);
    EXPECT_EQ(o->rec.width, 20);
}

TEST_F(StageTest, PanelMovesFinishInsteadOfBlockingTheScript) {
    WriteScript("PANEL", ".lines off\nMoveTo 30, 40, 10 @ Panel\nHide @ Panel\n");
    EXPECT_EQ(RunToEnd("PANEL", 100) < 100, true);
    const StageObject* panel = engine_->Find(kPanel, kPanelId);
    EXPECT_EQ(panel->rec.x, 30);
    EXPECT_EQ(panel->rec.y, 40);
    EXPECT_FALSE(panel->rec.visible);
}

TEST_F(StageTest, NumberDisplayDrawsWithItsDigitFont) {
    const char* suffixes = "0123456789#-";
    for (int i = 0; i < 12; ++i) {
        WritePicture(std::string("DIG") + suffixes[i], 3 + (i == 10), 5, QColor(i * 20, 0, 0));
    }
    WritePicture("DIG", 2, 5, Qt::white);
    WriteScript("NUM",
                ".lines off\nBmp \"DIG\", 10, 10 @ 1\nMetrixLin 0.0, 10.0, 0, 0, 2 @ 1\n"
                "Ident \"7\" @ 1\nBmp \"DIG\", 10, 30 @ 2\nIdent \"3\" @ 2\n"
                "$0 = ReadMetrixValue 1, 2 @ 1\n");
    RunAll("NUM");
    const StageObject* o = engine_->Find(kBmp, 1);
    EXPECT_EQ(o->rec.value, 10.0f);
    EXPECT_EQ(o->rec.field_width, 2);
    EXPECT_EQ(o->rec.width, 6);  // "10": two digit pictures of width 3
    EXPECT_EQ(o->working.pixel(0, 0) & 0xFFFFFF, QColor(20, 0, 0).rgb() & 0xFFFFFF);
    EXPECT_EQ(o->working.pixel(3, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(Vars(0), (std::vector<std::string>{"4"}));
}

TEST_F(StageTest, PacedNumberDisplayHoldsTheScriptUntilItArrives) {
    for (char c : std::string("0123456789#-")) WritePicture(std::string("N") + c, 3, 5, Qt::black);
    WritePicture("N", 3, 5, Qt::white);
    WriteScript("PACE",
                ".lines off\nBmp \"N\", 0, 0 @ 1\nMetrixLin 0.0, 9.0, 0, 1, 1 @ 1\n"
                "Ident \"done\" @ 1\n");
    engine_->OpenScript("PACE");
    Ticks(3);
    const StageObject* o = engine_->Find(kBmp, 1);
    EXPECT_LT(o->rec.value, 9.0f);
    EXPECT_TRUE(o->rec.label.empty());
    Ticks(40);
    EXPECT_EQ(o->rec.value, 9.0f);
    EXPECT_EQ(o->rec.label, "done");
}

TEST_F(StageTest, BlinkingTogglesAndHideMaskStopsIt) {
    WritePicture("P", 4, 4, Qt::red);
    WriteScript("BLINK", ".lines off\nBmp \"P\", 0, 0 @ 1\nMask 3 @ 1\nIdent \"x\" @ 1\n");
    engine_->OpenScript("BLINK");
    Ticks(2);
    const StageObject* o = engine_->Find(kBmp, 1);
    EXPECT_TRUE(o->rec.daemon);
    std::vector<bool> seen;
    for (int i = 0; i < 8; ++i) {
        Ticks(1);
        seen.push_back(o->rec.visible);
    }
    // The counter started on the Mask tick itself: toggles on ticks 5 and 9.
    EXPECT_EQ(seen, (std::vector<bool>{true, true, false, false, false, false, true, true}));
    EXPECT_EQ(o->rec.label, "x");  // a daemon does not hold the script
    WriteScript("STOP", ".lines off\nHideMask\n");
    RunAll("STOP");
    Ticks(2);
    EXPECT_FALSE(o->rec.visible);
    EXPECT_TRUE(engine_->MovingList(kBmp).empty());
}

TEST_F(StageTest, TagBuildsTheMenuAndAPickPostsItsPosition) {
    config_.Set(data::kLanguage, "GB");
    WritePicture("P", 4, 4, Qt::red);
    WritePicture("ICON", 4, 4, Qt::blue);
    WriteMessages("GB", "VALVE", {"Valve:main line", "header\nOpen:ICON\nClose"});
    WriteScript("TAG", ".lines off\nBmp \"P\", 0, 0 @ 6\nTag \"VALVE\" @ 6\n");
    RunAll("TAG");
    const StageObject* o = engine_->Find(kBmp, 6);
    ASSERT_EQ(o->menu.size(), 5u);
    EXPECT_EQ(o->menu[0].caption, "VALVE:main line");
    EXPECT_FALSE(o->menu[0].visible);
    EXPECT_EQ(o->menu[1].caption, "Valve");
    EXPECT_TRUE(o->menu[1].is_default);
    EXPECT_EQ(o->menu[2].caption, "-");
    EXPECT_EQ(o->menu[3].caption, "Open");
    EXPECT_FALSE(o->menu[3].picture.empty());
    EXPECT_EQ(o->menu[4].caption, "Close");
    EXPECT_EQ(o->rec.hint, "Valve");
    EXPECT_TRUE(o->rec.hint_enabled);
    engine_->PickMenuEntry(kBmp, 6, 4);
    engine_->PickMenuEntry(kBmp, 6, 1);
    EXPECT_EQ(host_.events[host_.events.size() - 2], "pick 6 2");
    EXPECT_EQ(host_.events.back(), "pick 6 0");
    // Every pick counts as a try until the next Start; a handled pick is cleared.
    EXPECT_EQ(engine_->TryCount(), 2);
    engine_->PickMenuEntry(kBmp, 6, 3);
    EXPECT_EQ(engine_->Find(kBmp, 6)->control_tag, 1);
    engine_->ClearPick(kBmp, 6);
    EXPECT_EQ(engine_->Find(kBmp, 6)->control_tag, -1);
    EXPECT_EQ(engine_->TryCount(), 3);
    engine_->Start();
    EXPECT_EQ(engine_->TryCount(), 0);
}

TEST_F(StageTest, MissingTagFileIsTracedAndLeavesNoMenu) {
    config_.Set(data::kLanguage, "GB");
    WritePicture("P", 4, 4, Qt::red);
    WriteScript("NOTAG", ".lines off\nBmp \"P\", 0, 0 @ 6\nTag \"NOPE\" @ 6\n");
    RunAll("NOTAG");
    EXPECT_TRUE(engine_->Find(kBmp, 6)->menu.empty());
    EXPECT_EQ(TraceLines("LDE# **error** ").size(), 1u);
    EXPECT_NE(
        TraceLines("LDE# **error** ")[0].find("not found @ 0 (idx 37, Tag NOPE, id 6, type 2)"),
        std::string::npos);
}

TEST_F(StageTest, SaveThenRestoreReproducesTheObjects) {
    for (char c : std::string("0123456789#-")) WritePicture(std::string("N") + c, 3, 5, Qt::black);
    WritePicture("N", 3, 5, Qt::white);
    WritePicture("P", 12, 8, Qt::red);
    WriteScript("SCENE",
                ".lines off\nBmp \"P\", 15, 25 @ 1\nIdent \"first\" @ 1\nSize 6, 9 @ 1\n"
                "Hint \"tip\" @ 1\nBmp \"P\", 40, 50 @ 2\nHide @ 2\n"
                "Bmp \"N\", 70, 5 @ 3\nMetrixLin 0.0, 50.0, 0, 10, 0 @ 3\n"
                "Bmp \"P\", 90, 90 @ 4\nMask 2 @ 4\n");
    engine_->OpenScript("SCENE");
    Ticks(11);
    const float value_at_save = engine_->Find(kBmp, 3)->rec.value;
    EXPECT_GT(value_at_save, 0.0f);
    EXPECT_LT(value_at_save, 50.0f);
    ASSERT_TRUE(engine_->SaveObjects("CTX.BIN"));

    engine_->Start();
    EXPECT_EQ(engine_->Find(kBmp, 1), nullptr);
    ASSERT_TRUE(engine_->RestoreObjects("CTX.BIN"));
    const StageObject* a = engine_->Find(kBmp, 1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->rec.x, 15);
    EXPECT_EQ(a->rec.y, 25);
    EXPECT_EQ(a->rec.height, 6);
    EXPECT_EQ(a->rec.width, 9);
    EXPECT_EQ(a->working.size(), QSize(9, 6));
    EXPECT_EQ(a->rec.label, "first");
    EXPECT_EQ(a->rec.hint, "tip");
    EXPECT_FALSE(engine_->Find(kBmp, 2)->rec.visible);
    const StageObject* n = engine_->Find(kBmp, 3);
    EXPECT_EQ(n->rec.value, value_at_save);
    EXPECT_EQ(n->rec.target_value, 50.0f);
    EXPECT_EQ(engine_->MovingList(kBmp).size(), 2u);  // the number display and the blinker
    for (int i = 0; i < 60; ++i) engine_->Animate();
    EXPECT_EQ(n->rec.value, 50.0f);
    EXPECT_TRUE(engine_->Find(kBmp, 4)->rec.daemon);
    EXPECT_NE(engine_->Find(kBackground, kBackgroundId), nullptr);
    EXPECT_EQ(engine_->ObjectsInOrder(kBackground).size(), 1u);
    EXPECT_EQ(engine_->ObjectsInOrder(kPanel).size(), 1u);
}

TEST_F(StageTest, RestoreRefusesATruncatedFileAndStopsAtAMissingPicture) {
    WritePicture("P", 4, 4, Qt::red);
    WriteScript("TWO", ".lines off\nBmp \"P\", 1, 1 @ 1\nBmp \"P\", 2, 2 @ 2\n");
    RunAll("TWO");
    ASSERT_TRUE(engine_->SaveObjects("TWO.BIN"));
    std::filesystem::resize_file(dir_ + "/TWO.BIN", 788 * 3 + 100);
    EXPECT_FALSE(engine_->RestoreObjects("TWO.BIN"));
    EXPECT_NE(engine_->Find(kBmp, 1), nullptr);  // whole records before the cut still count
    std::filesystem::remove(dir_ + "/BMP/P.BMP");
    EXPECT_FALSE(engine_->RestoreObjects("TWO.BIN"));
    EXPECT_FALSE(engine_->RestoreObjects("NOFILE.BIN"));
    EXPECT_FALSE(engine_->SaveObjects("NODIR/X.BIN"));
}

}  // namespace
}  // namespace script

namespace script {
namespace {

class OrderTest : public EngineFixture {
  protected:
    std::vector<int> Order() const {
        std::vector<int> ids;
        for (const StageObject* o : engine_->ObjectsInOrder(kBmp)) ids.push_back(o->rec.id);
        return ids;
    }
};

TEST_F(OrderTest, DrawingOrderCommands) {
    WritePicture("P", 4, 4, Qt::red);
    std::string make = ".lines off\n";
    for (int id = 1; id <= 4; ++id) make += "Bmp \"P\", 0, 0 @ " + std::to_string(id) + "\n";
    WriteScript("MAKE", make);
    RunToEnd("MAKE");
    struct Case {
        const char* source;
        std::vector<int> order;
    } cases[] = {
        {"BringFront @ 1", {2, 3, 4, 1}}, {"SendBack @ 4", {4, 2, 3, 1}},
        {"Insert 2 @ 1", {4, 2, 1, 3}},   {"Insert 99 @ 4", {2, 1, 3, 4}},
        {"Swap 2, 4", {4, 1, 3, 2}},      {"Insert -5 @ 3", {3, 4, 1, 2}},
    };
    for (const Case& c : cases) {
        WriteScript("ORDER", std::string(".lines off\n") + c.source + "\n");
        RunToEnd("ORDER");
        EXPECT_EQ(Order(), c.order) << c.source;
    }
}

TEST_F(OrderTest, TopmostObjectIsDrawnLastAndFixOutlivesClear) {
    WritePicture("R", 10, 10, Qt::red);
    WritePicture("B", 10, 10, Qt::blue);
    WriteScript("TOP", ".lines off\nBmp \"R\", 20, 20 @ 1\nBmp \"B\", 25, 25 @ 2\n");
    RunToEnd("TOP");
    Ticks(1);
    EXPECT_EQ(picture_.pixel(27, 27) & 0xFFFFFF, 0x0000FFu);
    WriteScript("FRONT", ".lines off\nBringFront @ 1\nFix @ 1\nClear @ 1\nClear @ 2\n");
    RunToEnd("FRONT");
    Ticks(1);
    EXPECT_EQ(picture_.pixel(27, 27) & 0xFFFFFF, 0xFF0000u);  // painted into the background
    EXPECT_EQ(picture_.pixel(32, 32) & 0xFFFFFF, 0xFFFFFFu);  // the blue one left nothing
}

}  // namespace
}  // namespace script
