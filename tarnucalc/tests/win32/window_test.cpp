// The calculator window driven from outside under a real (or Wine's) window system:
// every test starts tarnucalc.exe in a folder of its own and works its controls.
// Arguments: --exe=<tarnucalc.exe> --shots=<folder for screenshots>.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "calculator_process.h"
#include "control_ids.h"

namespace tarnu::win32::testing {

namespace {

std::wstring g_exe, g_shots;

constexpr COLORREF kRed = 0x0000FF, kBlue = 0xFF0000;

std::wstring Folder(const std::wstring &path) {
    return path.substr(0, path.find_last_of(L"\\/"));
}

class WindowTest : public ::testing::Test {
  protected:
    // A fresh folder with the program and the engine beside it.
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::wstring(temp) + L"tarnu-window-" +
               std::wstring(info->name(), info->name() + std::strlen(info->name()));
        CreateDirectoryW(dir_.c_str(), nullptr);
        for (const wchar_t *old : {L"\\配置.ini", L"\\计算记录.txt"})
            DeleteFileW((dir_ + old).c_str());
        exe_ = dir_ + L"\\tarnucalc.exe";
        CopyFileW(g_exe.c_str(), exe_.c_str(), FALSE);
        if (withEngine_) {
            for (const wchar_t *dll : {L"Quorel32.dll"}) {
                const std::wstring from = Folder(g_exe) + L"\\" + dll;
                CopyFileW(from.c_str(), (dir_ + L"\\" + dll).c_str(), FALSE);
            }
        }
    }

    std::unique_ptr<CalculatorProcess> start() {
        auto p = std::make_unique<CalculatorProcess>(exe_, dir_);
        EXPECT_TRUE(p->started()) << "error " << GetLastError() << " pid " << p->pid();
        return p;
    }

    void shot(const wchar_t *name) {
        Sleep(300);  // let the last paint reach the screen
        EXPECT_TRUE(SaveScreen(g_shots + L"\\" + name + L".bmp"));
    }

    std::wstring dir_, exe_;
    bool withEngine_ = true;
};

RECT Frame(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

TEST_F(WindowTest, ExpressionShowsResultsInRedAndKeysFollowTheRules) {
    auto calc = start();
    calc->type(kExpressionId, L"1+2");
    calc->enter(kExpressionId);
    calc->settle();
    EXPECT_EQ(calc->text(kExpressionId), L"3");
    EXPECT_EQ(calc->colour(kExpressionId), kRed);
    EXPECT_EQ(calc->text(kHistoryId), L"1+2=3\r\n");
    shot(L"page-calc");

    calc->type(kExpressionId, L"*2");  // an operator continues the result
    EXPECT_EQ(calc->text(kExpressionId), L"3*2");
    EXPECT_EQ(calc->colour(kExpressionId), kBlue);
    calc->enter(kExpressionId);
    calc->settle();
    EXPECT_EQ(calc->text(kExpressionId), L"6");
    calc->type(kExpressionId, L"5");  // a digit starts anew
    EXPECT_EQ(calc->text(kExpressionId), L"5");

    calc->press(kExpressionId, VK_DELETE);
    calc->settle();
    EXPECT_EQ(calc->text(kExpressionId), L"");
    calc->type(kExpressionId, L"1+");  // refused by the engine: nothing changes
    calc->enter(kExpressionId);
    calc->settle();
    EXPECT_EQ(calc->text(kExpressionId), L"1+");
    EXPECT_EQ(calc->text(kHistoryId), L"1+2=3\r\n3*2=6\r\n");

    // A red result cleared by Enter; the history recalculates the line under the caret.
    SendMessageW(calc->control(kHistoryId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"5*6"));
    SendMessageW(calc->control(kHistoryId), EM_SETSEL, 3, 3);
    calc->enter(kHistoryId);
    calc->settle();
    EXPECT_EQ(calc->text(kHistoryId), L"5*6=30\r\n");
    EXPECT_EQ(calc->text(kExpressionId), L"30");
    EXPECT_EQ(calc->colour(kExpressionId), kRed);
    calc->enter(kExpressionId);
    calc->settle();
    EXPECT_EQ(calc->text(kExpressionId), L"");
}

TEST_F(WindowTest, FunctionListSizeButtonsAndAlwaysOnTop) {
    auto calc = start();
    HWND list = calc->control(kFunctionsId);
    SendMessageW(list, CB_SETCURSEL, 3, 0);  // "sqrt()": the caret lands between the brackets
    SendMessageW(calc->main(), WM_COMMAND, MAKEWPARAM(kFunctionsId, CBN_SELENDOK),
                 reinterpret_cast<LPARAM>(list));
    calc->settle();
    calc->type(kExpressionId, L"9");
    calc->enter(kExpressionId);
    calc->settle();
    EXPECT_EQ(calc->text(kHistoryId), L"sqrt(9)=3\r\n");

    const RECT start = Frame(calc->main());
    const int height = start.bottom - start.top, width = start.right - start.left;
    calc->click(kCompactId);
    EXPECT_EQ(Frame(calc->main()).bottom - start.top, static_cast<int>(height * 0.355));
    calc->click(kCompactId);
    calc->click(kWideId);
    EXPECT_EQ(Frame(calc->main()).right - start.left, 500);
    calc->click(kWideId);
    const RECT back = Frame(calc->main());
    EXPECT_EQ(back.bottom - back.top, height);
    EXPECT_EQ(back.right - back.left, width);

    calc->click(kCheckBoxId + 10);
    EXPECT_TRUE(GetWindowLongW(calc->main(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(calc->checked(kCheckBoxId + 1));
}

TEST_F(WindowTest, KeypadDocksFollowsAndTypes) {
    auto calc = start();
    calc->click(kPageButtonId + 3);
    ASSERT_TRUE(WaitFor([&] { return calc->keypad() != nullptr; }));
    HWND keypad = calc->keypad();
    RECT main = Frame(calc->main()), k = Frame(keypad);
    EXPECT_EQ(k.left, main.right);  // a new keypad snaps flush
    EXPECT_EQ(k.top, main.top);

    auto moveKeypad = [&](int left, int top) {
        SetWindowPos(keypad, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        calc->settle();
        return Frame(keypad);
    };
    k = moveKeypad(main.right + 10, main.top + 40);  // near enough: snaps flush
    EXPECT_EQ(k.left, main.right);
    EXPECT_EQ(k.top, main.top);
    SetWindowPos(calc->main(), nullptr, main.left + 30, main.top + 20, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    calc->settle();
    main = Frame(calc->main());
    k = Frame(keypad);
    EXPECT_EQ(k.left, main.right);  // a docked keypad follows
    EXPECT_EQ(k.top, main.top);
    k = moveKeypad(main.right + 20, main.top + 40);  // too far: stays
    EXPECT_EQ(k.left, main.right + 20);

    calc->type(kExpressionId, L"3*4");
    calc->enter(kExpressionId);
    calc->settle();
    calc->clickKeypad(kKeypadKeyId + 13);  // "+" continues the red result
    EXPECT_EQ(calc->text(kExpressionId), L"12+");
    calc->clickKeypad(kKeypadKeyId + 5);
    calc->clickKeypad(kKeypadKeyId + 18);  // "="
    EXPECT_EQ(calc->text(kExpressionId), L"17");
    calc->clickKeypad(kKeypadKeyId + 5);  // a digit replaces it
    EXPECT_EQ(calc->text(kExpressionId), L"5");
    shot(L"keypad");
}

TEST_F(WindowTest, SettingsSurviveARestartThroughTheirFile) {
    {
        auto calc = start();
        calc->click(kPageButtonId + 1);
        shot(L"page-settings");
        calc->click(kCheckBoxId + 2);                                // keep trailing zeros
        SendMessageW(calc->control(kDigitsId), CB_SETCURSEL, 3, 0);  // four digits
        calc->click(kSaveButtonId);
        EXPECT_EQ(calc->close(), 0u);
    }
    EXPECT_NE(GetFileAttributesW((dir_ + L"\\配置.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    auto calc = start();
    EXPECT_TRUE(calc->checked(kCheckBoxId + 2));
    EXPECT_EQ(SendMessageW(calc->control(kDigitsId), CB_GETCURSEL, 0, 0), 3);
    calc->type(kExpressionId, L"2/2");
    calc->enter(kExpressionId);
    calc->settle();
    EXPECT_EQ(calc->text(kExpressionId), L"1.0000");
}

TEST_F(WindowTest, LongCalculationShowsTheStripAndEscCancelsIt) {
    auto calc = start();
    calc->type(kExpressionId, L"while(1,1)");
    calc->pressAsync(kExpressionId, VK_RETURN, L'\r');
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(calc->control(kBusyStripId)) != 0; }, 5000));
    EXPECT_TRUE(calc->busy());
    shot(L"calculating");
    calc->post(kExpressionId, VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !calc->busy(); }, 5000));
    EXPECT_FALSE(IsWindowVisible(calc->control(kBusyStripId)));
    EXPECT_EQ(calc->text(kExpressionId), L"while(1,1)");
    EXPECT_EQ(calc->text(kHistoryId), L"");
    calc->press(kExpressionId, VK_DELETE);
    calc->type(kExpressionId, L"2*3");
    calc->enter(kExpressionId);
    calc->settle();
    EXPECT_EQ(calc->text(kExpressionId), L"6");  // a new helper took over
}

TEST_F(WindowTest, PagesAndThemesDrawEveryControl) {
    auto calc = start();
    calc->click(kPageButtonId + 2);
    EXPECT_TRUE(IsWindowVisible(calc->control(kHelpId)));
    EXPECT_FALSE(IsWindowVisible(calc->control(kExpressionId)));
    EXPECT_NE(calc->text(kHelpId).find(L"函数说明："), std::wstring::npos);
    shot(L"page-help");
    calc->click(kPageButtonId + 4);
    EXPECT_TRUE(IsWindowVisible(calc->control(kFormulaEditorId)));
    shot(L"page-formula");
    calc->click(kCalcFormulaId);
    EXPECT_EQ(calc->text(kFormulaResultId), L"3");

    // A theme chosen now is stored at once and drawn from the next start.
    for (const auto &[index, name] : {std::pair{3, L"theme-dark"}, std::pair{1, L"theme-blue"}}) {
        SendMessageW(calc->control(kSkinsId), CB_SETCURSEL, index, 0);
        SendMessageW(calc->main(), WM_COMMAND, MAKEWPARAM(kSkinsId, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(calc->control(kSkinsId)));
        calc->close();
        calc = start();
        calc->type(kExpressionId, L"7*6");
        calc->enter(kExpressionId);
        calc->click(kPageButtonId + 3);
        calc->click(kPageButtonId + 1);
        shot(name);
        calc->click(kPageButtonId + 3);
    }
}

class MissingEngineTest : public WindowTest {
  protected:
    MissingEngineTest() { withEngine_ = false; }
};

TEST_F(MissingEngineTest, FirstCalculationShowsTheFatalBoxAndEnds) {
    auto calc = start();
    calc->type(kExpressionId, L"1");
    calc->pressAsync(kExpressionId, VK_RETURN, L'\r');  // the box waits for its answer
    HWND box = nullptr;
    std::wstring message;
    auto read = [&] {
        box = FindProcessWindow(calc->pid(), L"#32770");
        message.clear();
        if (!box) return false;
        EnumChildWindows(
            box,
            [](HWND child, LPARAM out) {
                wchar_t t[512] = {};
                GetWindowTextW(child, t, 512);
                *reinterpret_cast<std::wstring *>(out) += t;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&message));
        return message.find(L"InitQuorel") != std::wstring::npos;
    };
    WaitFor(read);  // the box is found before its text is in it
    EXPECT_NE(message.find(L"运行时出错!"), std::wstring::npos) << message;
    EXPECT_NE(message.find(L"InitQuorel"), std::wstring::npos);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_NE(calc->waitExit(10000), static_cast<DWORD>(STILL_ACTIVE));
}

}  // namespace

}  // namespace tarnu::win32::testing

int wmain(int argc, wchar_t **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    using namespace tarnu::win32::testing;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a.rfind(L"--exe=", 0) == 0) g_exe = a.substr(6);
        if (a.rfind(L"--shots=", 0) == 0) g_shots = a.substr(8);
    }
    if (g_exe.empty() || g_shots.empty()) {
        std::fprintf(stderr, "usage: win32ui_tests --exe=<tarnucalc.exe> --shots=<folder>\n");
        return 2;
    }
    CreateDirectoryW(g_shots.c_str(), nullptr);
    return RUN_ALL_TESTS();
}
