// Seeded random traffic: invariants hold, partial frames equal whole redraws, undo is exact.
// ORVANTA_SEED=N replays N; ORVANTA_RANDOM_LONG=1 runs long with a fresh seed.

#include "dialogs/DesktopSettingsDlg.h"
#include "dialogs/ObjectListDlg.h"
#include "dialogs/ObjectPropertiesDlg.h"
#include "res/resource.h"
#include "support/Bytes.h"
#include "support/TestDesktop.h"
#include "window/MainFrame.h"

#include <QtGui/private/qguiapplication_p.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <regex>
#include <set>
#include <sstream>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// The seeded source of steps, keeping the last ones for failure messages.
class RandomDriver {
public:
    explicit RandomDriver(int shortSteps)
    {
        const char* fixed = std::getenv("ORVANTA_SEED");
        const bool longRun = std::getenv("ORVANTA_RANDOM_LONG") != nullptr;
        seed = fixed ? unsigned(std::strtoul(fixed, nullptr, 10)) : longRun ? std::random_device {}() : 20261206u;
        steps = longRun ? shortSteps * 5 : shortSteps;
        std::printf("%s: seed %u, %d steps (ORVANTA_SEED=%u replays it)\n",
            testing::UnitTest::GetInstance()->current_test_info()->name(), seed, steps, seed);
        rng.seed(seed);
    }
    int Random(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool Chance(int percent) { return Random(1, 100) <= percent; }
    void Log(const std::string& text)
    {
        recent = (recent.size() > 800 ? recent.substr(recent.find('\n', 200)) : recent) + "\n  " + text;
    }
    std::string Where(int step) const
    {
        return "seed " + std::to_string(seed) + " (ORVANTA_SEED replays it), step " + std::to_string(step) + recent;
    }
    // A point on or next to an object's image or caption, or anywhere.
    POINT Somewhere(const CDesktopApp& app)
    {
        if (Chance(70) && app.m_nObjects > 1) {
            const int i = Random(1, app.m_nObjects - 1);
            const RECT rc = Chance(60) ? app.m_aObjects[i].rcObject : app.m_aObjects[i].rcText;
            return { Random(rc.left - 2, std::max(rc.left, rc.right) + 2),
                Random(rc.top - 2, std::max(rc.top, rc.bottom) + 2) };
        }
        return { Random(-4, kWidth + 4), Random(-4, kHeight + 4) };
    }
    // A move, press, release, right click with a command among the enabled items (or none), F2 or another key.
    void Step(CMainFrame& frame, ScriptedUi& ui, const CDesktopApp& app)
    {
        const int kind = Random(1, 100);
        const POINT pt = Somewhere(app);
        const std::string at = " (" + std::to_string(pt.x) + "," + std::to_string(pt.y) + ")";
        moved = kind <= 55;
        if (kind <= 90) {
            const int which = kind <= 55 ? 0 : kind <= 72 ? 1 : 2;
            Log(std::string(which == 0 ? "move" : which == 1 ? "press" : "release") + at);
            which == 0 ? frame.OnMouseMove(0, pt) : which == 1 ? frame.OnLButtonDown(0, pt) : frame.OnLButtonUp(0, pt);
        } else if (kind <= 93) {
            ui.onMenu = [this, lock = kind == 93](const std::vector<MenuItemState>& items) {
                std::vector<UINT> ids { 0 };
                for (const MenuItemState& item : items)
                    for (const MenuItemState& one : item.submenu.empty() ? std::vector { item } : item.submenu)
                        if (one.enabled && one.id != 0)
                            ids.push_back(one.id);
                const UINT command = lock ? UINT(ID_DESKTOP_LOCKED) : ids[size_t(Random(0, int(ids.size()) - 1))];
                Log("  command " + std::to_string(command));
                return command;
            };
            Log("right click" + at);
            frame.OnRButtonDown(0, pt);
        } else {
            // F2, a key of the keyboard's way (Ctrl held now and then), or any.
            static constexpr UINT kFocusKeys[] = { VK_TAB, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_HOME, VK_END,
                VK_RETURN, VK_SPACE, VK_ESCAPE, VK_DELETE, VK_APPS, 'A', 'C', 'V' };
            const UINT key = kind == 97 ? UINT(VK_F2)
                : Chance(70)            ? kFocusKeys[Random(0, int(std::size(kFocusKeys)) - 1)]
                                        : UINT(Random(0x08, 0x7A));
            const bool ctrl = Chance(30);
            Log("key " + std::to_string(key) + (ctrl ? " ctrl" : ""));
            QGuiApplicationPrivate::modifier_buttons = ctrl ? Qt::ControlModifier : Qt::NoModifier;
            frame.OnKeyDown(key, 1, 0);
            if (Chance(70))
                frame.OnKeyUp(key, 1, 0);
            if (ctrl && Chance(50))
                frame.OnKeyUp(VK_CONTROL, 1, 0);
            QGuiApplicationPrivate::modifier_buttons = Qt::NoModifier;
        }
    }
    unsigned seed = 0;
    int steps = 0;
    bool moved = false; // the last step was a move
    std::mt19937 rng;
    std::string recent; // the last steps, for failure messages
};

// A dozen overlapping objects, some hidden, linked, imageless or captionless; returns the image files.
std::vector<std::string> BuildDesktop(TestDesktop& desk, RandomDriver& rd)
{
    CDesktopApp& app = desk.app;
    const QString d = desk.dir.path();
    // One picture with its own transparency, blended wherever it goes.
    QImage soft(12, 6, QImage::Format_ARGB32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x)
            soft.setPixel(x, y, qRgba(40 * y, 0, 255, x * 23));
    soft.save(d + "/b.png");
    const std::vector<std::string> images = { WriteBitmap(d, "a.bmp", 8, 8, Qt::red), (d + "/b.png").toStdString(),
        WriteBitmap(d, "c.bmp", 16, 16, QColor(0, 127, 127)),
        WriteBitmap(d, "d.bmp", 5, 9, Qt::yellow, QImage::Format_Indexed8) };
    app.m_crLastColor = 0xFFFFFF;
    app.m_bTile = TRUE;
    app.m_lfDefault.lfHeight = -8;
    app.m_ptContext = { 40, 30 }; // where captions without an image go
    app.m_aObjects[0].strUpImage = CString(WriteBitmap(d, "back.bmp", 64, 48, Qt::darkGreen));
    const char* names[]
        = { "Start", " Clock", "clock.1", "Lamp ", "Switch", "Note", "Bin", "Gate", "Tree", "Fish", "Moon", "Star" };
    for (int i = 1; i <= 12; ++i) {
        DesktopObject& obj = app.m_aObjects[i];
        obj.strName = names[i - 1];
        obj.lfFont = app.m_lfDefault;
        obj.crText = 0x00FFFFFF;
        obj.crHotText = 0x0000FFFF;
        obj.nJustify = 1087 + i % 3;
        // Objects 3 and 8 are captions only; 5 and 10 have no caption.
        if (i != 3 && i != 8) {
            obj.strUpImage = CString(images[size_t(i) % 4]);
            if (i % 2 == 0)
                obj.strMouseImage = CString(images[size_t(i + 1) % 4]);
            if (i % 3 == 0)
                obj.strDownImage = CString(images[size_t(i + 2) % 4]);
        }
        if (i != 5 && i != 10)
            obj.strText = i % 4 == 0 ? "Two\r\nlines" : "Cap";
        obj.rcObject = { rd.Random(0, kWidth / 2), rd.Random(0, kHeight / 2), 0, 0 };
        obj.bVisible = i != 7 && i != 11;
        obj.bTextOnMouseOver = i == 9;
        app.m_aRuntime[i] = { FALSE, FALSE, 1, 0 };
    }
    // Mouse Activate: two chains, a self link and a name of no object.
    for (auto [from, to] : { std::pair { 1, "Lamp " }, { 5, "Note" }, { 6, "Moon" }, { 9, "Tree" }, { 12, "Nothing" } })
        app.m_aObjects[from].strActivate = to;
    app.m_nObjects = 13;
    BuildEveryObject(app);
    return { images[0], images[1], images[2], images[3], app.m_aObjects[0].strUpImage.str() };
}

class RandomInteractionTest : public testing::TestWithParam<int> {
protected:
    // The dialogs as a hasty user works them.
    void WorkDialog(CDialog& dialog)
    {
        if (dynamic_cast<CDesktopSettingsDlg*>(&dialog)) {
            if (rd.Chance(20))
                Click(dialog, IDC_REFRESH);
            if (rd.Chance(40))
                Click(dialog, IDC_TILE);
            if (rd.Chance(30))
                SetText(dialog, IDC_BACKGROUND, rd.Chance(30) ? "" : files[size_t(rd.Random(0, 4))]);
        } else if (dynamic_cast<CObjectPropertiesDlg*>(&dialog)) {
            if (rd.Chance(40)) {
                // A clash ignoring case and white space, or a fresh name.
                CString name = app.m_aObjects[rd.Random(1, app.m_nObjects - 1)].strName;
                name.MakeLower();
                name = rd.Chance(50) ? " " + name + " " : CString(("New" + std::to_string(++fresh)).c_str());
                SetText(dialog, IDC_OBJECT_NAME, name.str());
            }
            if (rd.Chance(30))
                SetText(dialog, IDC_UP_IMAGE, rd.Chance(20) ? "" : files[size_t(rd.Random(0, 3))]);
            if (rd.Chance(20))
                Click(dialog, IDC_VISIBLE);
            auto* activate = dynamic_cast<CComboBox*>(dialog.GetDlgItem(IDC_ACTIVATE));
            if (rd.Chance(30) && activate && activate->GetCount() > 0)
                activate->SetCurSel(rd.Random(0, activate->GetCount() - 1));
        } else if (dynamic_cast<CObjectListDlg*>(&dialog)) {
            auto& list = Item<CListBox>(dialog, IDC_OBJECT_LIST);
            list.SetCurSel(rd.Random(-1, list.GetCount() - 1));
        }
        const int button = ++dialogs && rd.Chance(60) ? IDOK : IDCANCEL;
        rd.Log(std::string("  dialog ") + (button == IDOK ? "OK" : "Cancel"));
        Click(dialog, button);
    }
    // Now and then the display loses its surfaces between steps.
    void Fault()
    {
        if (rd.Random(1, 1000) <= 2) {
            rd.Log("surfaces lost");
            app.m_pDD->loseAllSurfaces();
            lossPending = true;
            ++losses;
        }
    }
    // The messages the program can show here.
    static bool Known(const std::string& text)
    {
        static const std::regex known("Desktop file could not be opened!|Desktop file is damaged and could not be "
                                      "loaded!|Unable to insert new object:\nDesktop contains maximum objects allowed."
                                      "|Object must have a name|fail:Create(?:Surface|TextSurface|Color)|Are you sure "
                                      "you want to delete '.*'\\?|The name '.*' already exists.\n\nPlease select "
                                      "another name|Image dimensions exceed screen margins\nrelative to position:\n\n.*"
                                      "\n\nPlease check display and image dimensions.");
        return std::regex_match(text, known);
    }
    // Every surface held, in table slot order (the display's own at slot 0).
    template<typename F> void ForEachSurface(F&& visit) const
    {
        for (const ObjectRuntime& rt : app.m_aRuntime)
            for (const IDirectDrawSurface* s : { rt.pUp, rt.pDown, rt.pMouse, rt.pText, rt.pTextHot })
                if (s)
                    visit(s, int(&rt - app.m_aRuntime));
        for (const IDirectDrawSurface* s :
            { app.m_pDDSPrimary, app.m_pDDSBack, app.m_pDDSTile, app.m_pDDSTextWork, app.m_pDDSColor })
            if (s)
                visit(s, 0);
    }
    // Empty when every invariant holds, else what broke.
    std::string Broken() const
    {
        std::ostringstream out;
        const int n = app.m_nObjects;
        if (n < 1 || n > 51 || app.m_aObjects[0].strName != "Background")
            out << n << " objects, record 0 '" << app.m_aObjects[0].strName.str() << "'; ";
        std::set<std::string> names;
        for (int i = 1; i < n; ++i) {
            CString key = app.m_aObjects[i].strName;
            key.Trim();
            key.MakeLower();
            if (!names.insert(key.str()).second)
                out << "name '" << key.str() << "' twice; ";
            const ObjectRuntime& rt = app.m_aRuntime[i];
            const RECT& rc = app.m_aObjects[i].rcObject;
            if (rt.pUp && (rc.right - rc.left != rt.pUp->width() || rc.bottom - rc.top != rt.pUp->height()))
                out << "object " << i << " rectangle does not match its image; ";
            if (rt.nActivates < 0 || rt.nActivates >= n)
                out << "object " << i << " activates " << rt.nActivates << "; ";
        }
        std::set<const IDirectDrawSurface*> held;
        ForEachSurface([&](const IDirectDrawSurface* s, int i) {
            if (i >= n)
                out << "surface in slot " << i << "; ";
            if (!held.insert(s).second)
                out << "surface shared, slot " << i << "; ";
        });
        if (app.m_pDD && app.m_pDD->liveSurfaceCount() != held.size())
            out << app.m_pDD->liveSurfaceCount() << " live surfaces, " << held.size() << " held; ";
        for (int index :
            { app.m_nHoverObject, app.m_nPressedImage, app.m_nPressedText, app.m_nCurObject, app.m_nFocusObject })
            if (index < 0 || index >= kTableSize)
                out << "interaction index " << index << "; ";
        // The focus always shows as hovered, on an object that is there.
        if (app.m_nFocusObject != 0 && (app.m_nFocusObject != app.m_nHoverObject || app.m_nFocusObject >= n))
            out << "focus " << app.m_nFocusObject << " hover " << app.m_nHoverObject << "; ";
        return out.str();
    }
    DisplayDepth depth { GetParam() };
    TestDesktop desk { kWidth, kHeight };
    CDesktopApp& app = desk.app;
    CMainFrame frame;
    RandomDriver rd { 8000 };
    std::vector<std::string> files = BuildDesktop(desk, rd);
    std::string problems;
    bool lossPending = false;
    int losses = 0, dialogs = 0, fresh = 0, quietMoves = 0;
};

// After every step the table is consistent, and a step that presents shows what a whole redraw of the same state shows.
TEST_P(RandomInteractionTest, TableStaysConsistentAndPartialFramesShowWhatWholeRedrawsShow)
{
    desk.ui.onMessageBox = [this](const CString& text, UINT type) {
        const int answer = type == MB_OKCANCEL && rd.Chance(50) ? IDCANCEL : IDOK;
        rd.Log("  message '" + text.str() + "' " + std::to_string(answer));
        return answer;
    };
    desk.ui.onDialog = [this](CDialog& dialog) { WorkDialog(dialog); };
    // A refused picture, drawn as a placeholder while unlocked.
    desk.AddObject("Wide", { 30, 200, 30 + kWidth, 206 });
    const CapturingTarget& target = desk.display.target;
    for (int step = 0; step < rd.steps; ++step) {
        Fault();
        const int frames = desk.frames();
        const size_t messages = desk.ui.messages.size();
        rd.Step(frame, desk.ui, app);
        // A loss is repaired by the first presentation, and every message shown is a known one.
        if (lossPending && desk.frames() > frames) {
            int lost = 0;
            ForEachSurface([&](const IDirectDrawSurface* s, int) { lost += s->isLost() ? 1 : 0; });
            if (lost)
                problems += std::to_string(lost) + " surfaces lost after restoring; ";
            lossPending = false;
        }
        for (size_t m = messages; m < desk.ui.messages.size(); ++m)
            if (!Known(desk.ui.messages[m]))
                problems += "message '" + desk.ui.messages[m] + "'; ";
        if (desk.frames() > frames) {
            const QImage shown = target.lastFrame.copy();
            app.ComposeScene();
            if (shown != target.lastFrame)
                problems += "the frame shown is not a whole redraw; ";
        }
        // The moves a move leaves to the window system would change nothing and show nothing.
        if (const RECT quiet = frame.GetIgnoredMoves(); rd.moved && quiet.right > quiet.left) {
            ++quietMoves;
            const auto state = [&] {
                std::vector<int> s { app.m_nHoverObject, app.m_nFocusObject, app.m_bFocusFrame, app.m_nPressedText };
                for (int i = 1; i < app.m_nObjects; ++i)
                    s.insert(s.end(), { app.m_aRuntime[i].nState, app.m_aRuntime[i].bVisible });
                return s;
            };
            const auto before = state();
            const int shown = desk.frames();
            for (int k = 0; k < 3; ++k) {
                const POINT p { rd.Random(quiet.left, quiet.right - 1), rd.Random(quiet.top, quiet.bottom - 1) };
                frame.OnMouseMove(0, p);
                if (state() != before || desk.frames() != shown)
                    problems += "a move to (" + std::to_string(p.x) + "," + std::to_string(p.y)
                        + ") within the quiet rectangle changed something; ";
            }
        }
        ASSERT_EQ(Broken() + problems, "") << rd.Where(step);
    }
    // Moves over objects and between them were left to the window system.
    EXPECT_GT(quietMoves, rd.steps / 10);
    // The run did real work, in frames of both kinds.
    EXPECT_GT(target.partial, rd.steps / 10);
    EXPECT_GT(target.presentations - target.partial, rd.steps / 10);
    EXPECT_TRUE(dialogs > 0 && losses > 0) << dialogs << " dialogs, " << losses << " losses";
}

// Random edits mixed with undo and redo: each state gives back its saved bytes and the frame it showed.
TEST_P(RandomInteractionTest, EditsUndosAndRedosGiveBackTheBytesOfEachState)
{
    app.m_bLocked = FALSE;
    app.m_strDesktopFile = desk.Path("undo.orv").c_str();
    app.m_history.Clear(app);
    const auto bytes = [&] { return app.SaveDesktop(), ReadAll(desk.dir.filePath("undo.orv")); };
    const auto shown = [&] { return app.ComposeScene(), desk.display.target.lastFrame; };
    void (CMainFrame::*orders[])() = { &CMainFrame::OnOrderMoveUp, &CMainFrame::OnOrderMoveDown,
        &CMainFrame::OnOrderMoveToTop, &CMainFrame::OnOrderMoveToBottom };
    // The states the history can go back to, as saved and shown, and where it is.
    std::vector<std::pair<QByteArray, QImage>> states { { bytes(), shown() } };
    size_t at = 0;
    const auto back = [&](bool undo) {
        undo ? frame.OnEditUndo() : frame.OnEditRedo();
        at = undo ? at - 1 : at + 1;
        rd.Log(undo ? "undo" : "redo");
        // A state shows what it showed when first brought back (undo drops an edit's pointer state).
        QImage& seen = states[at].second;
        if (seen.isNull())
            seen = shown();
        return bytes() == states[at].first && shown() == seen;
    };
    // An edit that changed the saved bytes is a new state; what could be redone is gone.
    const auto edited = [&] {
        if (QByteArray now = bytes(); now != states[at].first) {
            states.resize(++at);
            states.emplace_back(now, QImage());
            if (at > size_t(CEditHistory::kMaxSteps))
                states.erase(states.begin()), --at;
        }
    };
    const auto properties = [&](int c, const std::function<void(CDialog&)>& work) {
        app.m_nCurObject = c;
        desk.ui.onDialog = [&](CDialog& dlg) { work(dlg), Click(dlg, IDOK); };
        frame.OnObjectProperties();
    };
    const auto linkTo = [&](CDialog& dlg, const CString& name) {
        auto& activate = Item<CComboBox>(dlg, IDC_ACTIVATE);
        activate.SetCurSel(activate.FindStringExact(0, name));
    };
    // A link to a shown object set through Properties, then undo, redo, undo: the target is shown and saved as before.
    properties(2, [&](CDialog& dlg) { linkTo(dlg, "Switch"); });
    edited();
    ASSERT_EQ(at, 1u);
    ASSERT_TRUE(back(true) && back(false) && back(true) && app.m_aObjects[5].bVisible) << rd.seed;
    for (int k = 0; k < rd.steps / 40; ++k) {
        // Drag, delete, paste, order, Properties, settings, insert, undo, redo; Properties, undo and redo more often.
        constexpr int kinds[] = { 0, 1, 2, 3, 4, 4, 4, 5, 6, 7, 7, 8, 8 };
        const int kind = kinds[rd.Random(0, 12)];
        int c = app.m_nCurObject = rd.Random(1, app.m_nObjects - 1);
        // Most Properties edits are on the target of a link, so that renames carry links.
        std::vector<int> targets;
        for (int i = 1; i < app.m_nObjects; ++i)
            if (const int t = app.m_aRuntime[i].nActivates; t != 0 && t != i)
                targets.push_back(t);
        if (kind == 4 && !targets.empty() && rd.Chance(70))
            c = targets[size_t(rd.Random(0, int(targets.size()) - 1))];
        app.m_ptContext = { rd.Random(0, kWidth - 20), rd.Random(0, kHeight - 20) };
        const RECT& r = app.m_aObjects[c].rcObject;
        const POINT from { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
        rd.Log("edit " + std::to_string(kind) + " on " + std::to_string(c));
        // Up to three undos or redos, then up to three more either way.
        if (kind >= 7) {
            for (const bool undo : { kind == 7, rd.Chance(50) })
                for (int n = rd.Random(1, 3); n > 0 && (undo ? at > 0 : at + 1 < states.size()); --n) {
                    ASSERT_TRUE(back(undo)) << rd.Where(k);
                }
            continue;
        }
        if (kind == 0) {
            const POINT to { from.x + rd.Random(-90, 90), from.y + rd.Random(-90, 90) };
            frame.OnLButtonDown(0, from);
            frame.OnMouseMove(0, to);
            frame.OnLButtonUp(0, to);
        } else if (kind == 1 && app.m_nObjects > 4) {
            frame.OnObjectDelete();
        } else if (kind == 2) {
            frame.OnObjectCopy();
            frame.OnObjectPaste();
        } else if (kind == 3) {
            (frame.*orders[rd.Random(0, 3)])();
        } else if (kind == 4) {
            // A caption, a link set or cleared, a fresh name, the Visible box.
            properties(c, [&](CDialog& dlg) {
                if (rd.Chance(50))
                    SetText(dlg, IDC_TEXT, "Edited " + std::to_string(k));
                if (rd.Chance(50))
                    linkTo(dlg, rd.Chance(30) ? " " : app.m_aObjects[rd.Random(1, app.m_nObjects - 1)].strName);
                if (rd.Chance(40))
                    SetText(dlg, IDC_OBJECT_NAME, "New" + std::to_string(k));
                if (rd.Chance(15))
                    Click(dlg, IDC_VISIBLE);
            });
        } else if (kind == 5) {
            properties(0, [&](CDialog& dlg) { Click(dlg, IDC_TILE); });
        } else if (kind == 6) {
            desk.ui.onDialog = [&](CDialog& dlg) {
                SetText(dlg, IDC_OBJECT_NAME, "New" + std::to_string(k)), SetText(dlg, IDC_UP_IMAGE, files[1]);
                Click(dlg, IDOK);
            };
            frame.OnObjectInsert();
        }
        edited();
        ASSERT_EQ(app.m_history.CanUndo(), at > 0) << rd.Where(k);
        ASSERT_EQ(app.m_history.CanRedo(), at + 1 < states.size()) << rd.Where(k);
    }
    ASSERT_GT(states.size(), size_t(rd.steps / 200));
    while (at > 0)
        ASSERT_TRUE(back(true)) << "undo to state " << at << ", seed " << rd.seed;
    EXPECT_FALSE(app.m_history.CanUndo());
    for (const std::string& text : desk.ui.messages)
        EXPECT_EQ(text.rfind("Are you sure", 0), 0u) << text;
}

INSTANTIATE_TEST_SUITE_P(Depths, RandomInteractionTest, testing::Values(32, 16, 8));

} // namespace
