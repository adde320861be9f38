#include "programcontrol.h"

#include <QProcess>

namespace ProgramControl {

QString runTool(const QString &commandLine, int startMs, int finishMs)
{
    QStringList parts = commandLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QString();
    const QString program = parts.takeFirst();
    QProcess process;
    process.start(program, parts, QIODevice::ReadWrite);
    process.waitForStarted(startMs);
    process.closeWriteChannel();
    if (!process.waitForFinished(finishMs) && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(1000);
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

} // namespace ProgramControl
