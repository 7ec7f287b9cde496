#include "platform/devtools/BrowserLauncher.h"

#include <signal.h>
#include <sys/prctl.h>

#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <cerrno>

namespace surfdeck::chromium {

namespace {

bool runningAsRoot() {
    return ::geteuid() == 0;
}

// Private profiles are named after the Surfdeck process that made them, so that one left
// behind by a Surfdeck that was killed can be told apart from one still in use.
const QString kProfilePrefix = QStringLiteral("surfdeck-query-");

bool processAlive(qint64 pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

QStringList browserArguments(const Endpoint& endpoint, const std::string& profile,
                             const std::string& flags, QStringList* dropped) {
    QStringList args{
        QStringLiteral("--remote-debugging-address=") + QString::fromStdString(endpoint.host),
        QStringLiteral("--remote-debugging-port=") + QString::number(endpoint.port),
        QStringLiteral("--user-data-dir=") + QString::fromStdString(profile),
        QStringLiteral("--no-first-run"),
    };
    if (runningAsRoot()) args << QStringLiteral("--no-sandbox");
    // The last of two equal switches wins, so these would undo the ones above; the
    // allowed origins would let any web page drive the browser through the endpoint.
    // Chromium takes a switch after any number of dashes and in any case, so the name is
    // compared the same way.
    static const char* const kReserved[] = {"remote-debugging-address", "remote-debugging-port",
                                            "remote-allow-origins", "user-data-dir"};
    for (const QString& flag : QProcess::splitCommand(QString::fromStdString(flags))) {
        const QString name = flag.section('=', 0, 0);
        QString bare = name;
        while (bare.startsWith('-')) bare.remove(0, 1);
        bool reserved = false;
        for (const char* r : kReserved)
            reserved = reserved || bare.compare(QLatin1String(r), Qt::CaseInsensitive) == 0;
        if (!reserved) {
            args << flag;
        } else if (dropped) {
            *dropped << name;
        }
    }
    return args;
}

bool startDetachedBrowser(const std::string& executable, const Endpoint& endpoint,
                          const std::string& profile, const std::string& flags,
                          QStringList* dropped) {
    if (!profile.empty()) {
        // The endpoint answers every local account; the profile need not be readable too.
        const QString folder = QString::fromStdString(profile);
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QProcess process;
    process.setProgram(QString::fromStdString(executable));
    process.setArguments(browserArguments(endpoint, profile, flags, dropped));
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

PrivateBrowserProcess::~PrivateBrowserProcess() {
    stop();
}

int removeOrphanProfiles() {
    int removed = 0;
    const QDir temp(QDir::tempPath());
    const auto found = temp.entryInfoList({kProfilePrefix + QStringLiteral("*")},
                                          QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : found) {
        if (info.ownerId() != ::getuid()) continue;
        bool ok = false;
        const qint64 pid =
            info.fileName().mid(kProfilePrefix.size()).section('-', 0, 0).toLongLong(&ok);
        if (!ok || pid <= 0 || pid == ::getpid() || processAlive(pid)) continue;
        if (QDir(info.filePath()).removeRecursively()) ++removed;
    }
    return removed;
}

bool PrivateBrowserProcess::start(const std::string& executable, const std::string& extraFlags) {
    stop();
    // A Surfdeck ended by SIGKILL or a crash could not remove its profile: the next one does.
    removeOrphanProfiles();
    profile_ =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + '/' + kProfilePrefix +
                                        QString::number(::getpid()) + QStringLiteral("-XXXXXX"));
    if (!profile_->isValid()) return false;
    const Endpoint endpoint{"127.0.0.1", 0};
    QStringList args = browserArguments(endpoint, profile_->path().toStdString(), extraFlags);
    args << QStringLiteral("--headless=new") << QStringLiteral("--disable-gpu")
         << QStringLiteral("--disable-background-networking")
         << QStringLiteral("--disable-component-update") << QStringLiteral("--disable-sync")
         << QStringLiteral("--disable-breakpad") << QStringLiteral("about:blank");
    process_ = std::make_unique<QProcess>();
    process_->setProgram(QString::fromStdString(executable));
    process_->setArguments(args);
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(QProcess::nullDevice());
    // The private browser is ours alone: it goes when Surfdeck goes, even by a crash.
    process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_->start();
    return process_->waitForStarted(5000);
}

bool PrivateBrowserProcess::running() const {
    return process_ && process_->state() != QProcess::NotRunning;
}

int PrivateBrowserProcess::port() const {
    if (!profile_ || !running()) return 0;
    QFile file(profile_->filePath(QStringLiteral("DevToolsActivePort")));
    if (!file.open(QIODevice::ReadOnly)) return 0;
    bool ok = false;
    const int port = QString::fromUtf8(file.readLine()).trimmed().toInt(&ok);
    return ok ? port : 0;
}

void PrivateBrowserProcess::stop() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
    process_.reset();
    if (profile_) {
        // The browser's helper processes may still be finishing with the profile.
        profile_->setAutoRemove(false);
        const QString path = profile_->path();
        QDeadlineTimer deadline(3000);
        while (!QDir(path).removeRecursively() && !deadline.hasExpired()) QThread::msleep(50);
        profile_.reset();
    }
}

}  // namespace surfdeck::chromium
