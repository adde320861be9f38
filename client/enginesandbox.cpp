#include "enginesandbox.h"

#include <QByteArray>
#include <QDebug>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace EngineSandbox {

static bool isRoot()
{
#ifdef Q_OS_WIN
    return false;
#else
    return geteuid() == 0;
#endif
}

void keepOnForOrdinaryUsers()
{
    if (isRoot())
        return;
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const bool flagged = flags.contains("--no-sandbox");
    if (!flagged && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return;
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    if (flagged) {
        flags.replace("--no-sandbox", "");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.simplified());
    }
    qWarning() << "sandbox: QTWEBENGINE_DISABLE_SANDBOX and --no-sandbox are ignored for an"
                  " ordinary user";
}

// Left only for root, where the engine runs no sandbox (the tests run so).
static bool disabledByUser()
{
    return qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")
           || qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--no-sandbox");
}

Problem problem()
{
    if (disabledByUser()) {
        qWarning() << "sandbox: turned off by the environment (root), renderers run unconfined";
        return Problem::None;
    }
    if (!canCreateUserNamespaces()) {
        qWarning() << "sandbox: cannot start, this user may not create user namespaces";
        return Problem::NoUserNamespaces;
    }
    if (isRoot()) {
        qWarning() << "sandbox: cannot start, the web engine runs no sandbox as root";
        return Problem::RunAsRoot;
    }
    return Problem::None;
}

QString message(Problem problem)
{
    switch (problem) {
    case Problem::NoUserNamespaces:
        return QStringLiteral(
            "客户端无法启动：本机系统不允许普通用户创建用户命名空间，网页引擎的安全沙箱因此无法启动。\n\n"
            "请管理员执行：\nsudo sysctl -w kernel.unprivileged_userns_clone=1\n"
            "并在 /etc/sysctl.d/ 下的配置文件中写入 kernel.unprivileged_userns_clone=1，"
            "使其在重启后仍然有效（若 user.max_user_namespaces 为 0，也请将其调大）。"
            "然后重新启动客户端。");
    case Problem::RunAsRoot:
        return QStringLiteral("客户端无法启动：网页引擎的安全沙箱不能在 root 用户下运行。\n\n"
                              "请以普通用户身份启动客户端。");
    case Problem::None:
        break;
    }
    return QString();
}

} // namespace EngineSandbox
