#include "formats/readers/postscript_sandbox.h"

#include <QFileInfo>
#include <QMap>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>

#include "formats/readers/postscript_renderer.h"

namespace formats {
namespace {

constexpr int kTrialTimeoutMs = 5000;

// Read-only parts of /etc and /var that the interpreter's fonts and font maps come from.
const char* const kSystemFiles[] = {
    "/etc/fonts",
    "/etc/ghostscript",
    "/var/lib/ghostscript",
    "/etc/ld.so.cache",
};

bool insideUsr(const QString& path) {
    return path.startsWith(QStringLiteral("/usr/"));
}

}  // namespace

QStringList interpreterArguments(const PageRequest& page) {
    return {
        QStringLiteral("-dSAFER"),
        QStringLiteral("-dBATCH"),
        QStringLiteral("-dNOPAUSE"),
        QStringLiteral("-dQUIET"),
        QStringLiteral("-dNOPROMPT"),
        QStringLiteral("-dNOINTERPOLATE"),
        QStringLiteral("-dTextAlphaBits=4"),
        QStringLiteral("-dGraphicsAlphaBits=4"),
        // Bands of a large page stay in memory, under the address-space limit, not in files.
        QStringLiteral("-sBandListStorage=memory"),
        QStringLiteral("-sDEVICE=ppmraw"),
        QStringLiteral("-r%1").arg(kPostScriptDpi),
        QStringLiteral("-g%1x%2").arg(page.width).arg(page.height),
        // The page comes through the pipe, which we read with a bound; what the program prints
        // goes to the error channel, so it cannot mix with the page.
        QStringLiteral("-sOutputFile=-"),
        QStringLiteral("-sstdout=%stderr"),
        page.input,
    };
}

QStringList sandboxArguments(const SandboxLayout& layout, const QStringList& programArguments) {
    QStringList arguments{
        QStringLiteral("--unshare-all"),
        QStringLiteral("--die-with-parent"),
        QStringLiteral("--new-session"),
        QStringLiteral("--clearenv"),
    };
    const QStringList environment = interpreterEnvironment(layout.scratchFolder);
    for (const QString& variable : environment) {
        const qsizetype equals = variable.indexOf(u'=');
        arguments << QStringLiteral("--setenv") << variable.left(equals)
                  << variable.mid(equals + 1);
    }
    arguments << QStringLiteral("--ro-bind") << QStringLiteral("/usr") << QStringLiteral("/usr");
    for (const RootEntry& entry : layout.rootEntries) {
        if (entry.linkTarget.isEmpty()) {
            arguments << QStringLiteral("--ro-bind-try") << entry.path << entry.path;
        } else {
            arguments << QStringLiteral("--symlink") << entry.linkTarget << entry.path;
        }
    }
    for (const char* path : kSystemFiles) {
        arguments << QStringLiteral("--ro-bind-try") << QString::fromLatin1(path)
                  << QString::fromLatin1(path);
    }
    arguments << QStringLiteral("--dev") << QStringLiteral("/dev") << QStringLiteral("--proc")
              << QStringLiteral("/proc");
    if (!insideUsr(layout.program)) {
        arguments << QStringLiteral("--ro-bind") << layout.program << layout.program;
    }
    arguments << QStringLiteral("--ro-bind") << layout.pageFolder << layout.pageFolder;
    arguments << QStringLiteral("--size") << QString::number(layout.scratchBytes)
              << QStringLiteral("--tmpfs") << layout.scratchFolder;
    arguments << QStringLiteral("--chdir") << layout.scratchFolder << QStringLiteral("--")
              << layout.program;
    return arguments + programArguments;
}

QStringList interpreterEnvironment(const QString& scratchFolder) {
    return {
        QStringLiteral("PATH=/usr/bin:/bin"),    QStringLiteral("LC_ALL=C"),
        QStringLiteral("HOME=") + scratchFolder, QStringLiteral("TMPDIR=") + scratchFolder,
        QStringLiteral("TEMP=") + scratchFolder, QStringLiteral("TMP=") + scratchFolder,
    };
}

QList<RootEntry> hostRootEntries() {
    QList<RootEntry> entries;
    for (const char* name : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
        const QFileInfo entry(QString::fromLatin1(name));
        if (entry.isSymLink()) {
            entries.append({entry.filePath(), entry.symLinkTarget()});
        } else if (entry.isDir()) {
            entries.append({entry.filePath(), QString()});
        }
    }
    return entries;
}

bool sandboxWorks(const SandboxLayout& layout) {
    static QMutex mutex;
    static QMap<QString, bool> tried;
    const QMutexLocker locker(&mutex);
    if (const auto known = tried.constFind(layout.bwrap); known != tried.constEnd()) {
        return *known;
    }
    SandboxLayout trial = layout;
    trial.program = QStandardPaths::findExecutable(QStringLiteral("true"));
    bool works = false;
    if (!trial.program.isEmpty()) {
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(layout.bwrap, sandboxArguments(trial, {}));
        works = process.waitForFinished(kTrialTimeoutMs) &&
                process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    tried.insert(layout.bwrap, works);
    return works;
}

}  // namespace formats
