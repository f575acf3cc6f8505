#include "ui_fixture.h"

#include <dlfcn.h>

#include <QDir>
#include <QFile>

namespace tarnucalc::ui::test {

std::vector<TestFactory> &Registry() {
    static std::vector<TestFactory> tests;
    return tests;
}

bool EngineCanCompile() {
    void *lib = dlopen(TARNU_ENGINE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    const bool ok = dlsym(lib, "RealCom") && dlsym(lib, "RealCal");
    dlclose(lib);
    return ok;
}

Fixture::Fixture() : library({TARNU_ENGINE_PATH}) {
    const std::string d = dir.path().toStdString();
    locations = {d + "/配置.ini", d + "/计算记录.txt", d + "/公式", d + "/skin"};
    QDir(dir.path()).mkdir(QString::fromUtf8("公式"));
}

Fixture::~Fixture() {
    if (calc) close();
}

void Fixture::open(const std::string &host) {
    auto dialogs = std::make_unique<TestDialogs>();
    dialogs->fatalMessages = &fatalMessages;
    calc = std::make_unique<CalculatorWindow>(library, locations, host, std::move(dialogs));
    calc->controller.setExitHandler([this](int) { ++exits; });
    calc->start();
    QVERIFY(QTest::qWaitForWindowExposed(&calc->window));
}

void Fixture::close() {
    calc->window.close();
    QCoreApplication::processEvents();
    calc.reset();
}

QByteArray Fixture::fileBytes(const std::string &path) const {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void Screenshot(QWidget &window, const QString &name) {
    QDir().mkpath(QStringLiteral(TARNU_SCREENSHOT_DIR));
    QCoreApplication::processEvents();
    const QString path = QStringLiteral(TARNU_SCREENSHOT_DIR "/") + name + QStringLiteral(".png");
    QVERIFY2(window.grab().save(path), qPrintable(path));
}

}  // namespace tarnucalc::ui::test
