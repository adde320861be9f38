#include "programcontrol.h"

#include <QCoreApplication>
#include <QProcess>

namespace ProgramControl {

QString executableName(const QString &baseName)
{
    return baseName + QStringLiteral(".exe");
}

int endProgramByImageName(const QString &imageName)
{
    if (imageName.isEmpty())
        return 0;
    QProcess taskkill;
    taskkill.start(QStringLiteral("taskkill"),
                   {QStringLiteral("/im"), imageName, QStringLiteral("/f")});
    taskkill.waitForFinished(-1);
    return taskkill.exitCode() == 0 ? 1 : 0;
}

bool startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

} // namespace ProgramControl
