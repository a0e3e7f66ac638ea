#include "PrivateCups.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <unistd.h>

namespace {

const QString kDaemon = QStringLiteral("/usr/sbin/cupsd");
const QString kBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");
const QString kDriver = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
// cups-pdf reads a queue's own configuration, cups-pdf-NAME.conf for the device cups-pdf:/NAME,
// only from here (the folder is built into it).
const QString kBackendConfFolder = QStringLiteral("/etc/cups");
constexpr int kPollMs = 50;

QString ProcessFolder() {
    return QDir::tempPath() + QStringLiteral("/snipwell-cups-") + QString::number(QCoreApplication::applicationPid());
}

QString SocketPathOf(const QString& folder) { return folder + QStringLiteral("/cups.sock"); }

bool WriteText(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) == text.toUtf8().size();
}

// Runs a CUPS client program against the private daemon; its output, or empty with the
// failure in problem.
QString RunClient(const QString& program, const QStringList& arguments, QString* problem) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (problem != nullptr) {
            *problem = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
        }
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

}  // namespace

void PrivateCups::PointClientsHere() { qputenv("CUPS_SERVER", SocketPathOf(ProcessFolder()).toLocal8Bit()); }

PrivateCups::PrivateCups()
    : m_folder(ProcessFolder()), m_queue(QStringLiteral("snipwell-") + QString::number(QCoreApplication::applicationPid())) {
    m_backendConf = kBackendConfFolder + QStringLiteral("/cups-pdf-") + m_queue + QStringLiteral(".conf");
    if (qgetenv("CUPS_SERVER") != SocketPathOf(m_folder).toLocal8Bit()) {
        m_problem = QStringLiteral("CUPS_SERVER does not point at the private daemon (PointClientsHere was not called)");
    } else if (!QFileInfo(kDaemon).isExecutable() || !QFileInfo::exists(kBackend) || !QFileInfo::exists(kDriver)) {
        m_problem = QStringLiteral("CUPS or cups-pdf is not installed (packages cups, printer-driver-cups-pdf)");
    } else if (geteuid() != 0) {
        m_problem = QStringLiteral("cups-pdf runs only under a daemon started as root");
    } else {
        Start();
    }
}

PrivateCups::~PrivateCups() {
    if (m_daemon) {
        m_daemon->terminate();
        if (!m_daemon->waitForFinished(5000)) {
            m_daemon->kill();
            m_daemon->waitForFinished(2000);
        }
    }
    if (!m_backendConf.isEmpty()) QFile::remove(m_backendConf);
    QDir(m_folder).removeRecursively();
}

bool PrivateCups::Start() {
    QDir(m_folder).removeRecursively();  // left by an earlier process of the same id
    if (!WriteConfiguration()) return false;
    m_daemon = std::make_unique<QProcess>();
    m_daemon->setProcessChannelMode(QProcess::MergedChannels);
    m_daemon->setStandardOutputFile(m_folder + QStringLiteral("/log/daemon-output"));
    // -f: in the foreground, so that the test owns the process and stops it.
    m_daemon->start(kDaemon, {QStringLiteral("-f"), QStringLiteral("-c"), m_folder + QStringLiteral("/cupsd.conf"),
                              QStringLiteral("-s"), m_folder + QStringLiteral("/cups-files.conf")});
    if (!m_daemon->waitForStarted(5000)) {
        m_problem = QStringLiteral("cupsd did not start: ") + m_daemon->errorString();
        return false;
    }
    return WaitForSocket(10000) && AddQueue();
}

bool PrivateCups::WriteConfiguration() {
    const QDir folder(m_folder);
    for (const char* sub : {"etc", "spool/tmp", "cache", "state", "log", "pdf", "pdf-spool"}) {
        if (!folder.mkpath(QString::fromLatin1(sub))) {
            m_problem = QStringLiteral("cannot make ") + folder.filePath(QString::fromLatin1(sub));
            return false;
        }
    }
    // The filters run as the daemon's unprivileged user: it must reach the spool.
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                      QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QFile::setPermissions(m_folder, open);
    QFile::setPermissions(m_folder + QStringLiteral("/spool"), open);

    const QString files = QStringLiteral(
                              "ServerRoot %1/etc\nRequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\n"
                              "StateDir %1/state\nAccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
                              "PageLog %1/log/page_log\nPrintcap %1/printcap\nServerBin /usr/lib/cups\n"
                              "DataDir /usr/share/cups\nFileDevice No\n")
                              .arg(m_folder);
    // Only the socket: no network port, no browsing, anyone on the machine may print.
    const QString daemon = QStringLiteral(
                               "Listen %1\nBrowsing Off\nWebInterface No\nDefaultAuthType None\nLogLevel info\n"
                               "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                               "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
                               .arg(SocketPathOf(m_folder));
    const QString backend = QStringLiteral("Out %1/pdf\nAnonDirName %1/pdf\nSpool %1/pdf-spool\nLog %1/log\n"
                                           "UserUMask 0000\n")
                                .arg(m_folder);
    if (!WriteText(m_folder + QStringLiteral("/cups-files.conf"), files) ||
        !WriteText(m_folder + QStringLiteral("/cupsd.conf"), daemon) || !WriteText(m_backendConf, backend)) {
        m_problem = QStringLiteral("cannot write the daemon's configuration (") + m_backendConf + QStringLiteral(")");
        return false;
    }
    return true;
}

bool PrivateCups::WaitForSocket(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(SocketPathOf(m_folder))) {
        if (m_daemon->state() == QProcess::NotRunning || clock.elapsed() > timeoutMs) {
            m_problem = QStringLiteral("cupsd did not come up: ") + LogTail();
            return false;
        }
        QThread::msleep(kPollMs);
    }
    return true;
}

bool PrivateCups::AddQueue() {
    QString problem;
    RunClient(QStringLiteral("lpadmin"),
              {QStringLiteral("-p"), m_queue, QStringLiteral("-E"), QStringLiteral("-v"),
               QStringLiteral("cups-pdf:/") + m_queue, QStringLiteral("-P"), kDriver},
              &problem);
    if (!problem.isEmpty()) {
        m_problem = problem + LogTail();
        return false;
    }
    return true;
}

bool PrivateCups::QueueIdle() {
    QString problem;
    const QString jobs = RunClient(QStringLiteral("lpstat"), {QStringLiteral("-o"), m_queue}, &problem);
    return problem.isEmpty() && jobs.trimmed().isEmpty();
}

QString PrivateCups::WaitForPdf(int timeoutMs) {
    if (!Ready()) return {};
    QElapsedTimer clock;
    clock.start();
    const QDir out(m_folder + QStringLiteral("/pdf"));
    while (clock.elapsed() <= timeoutMs) {
        const QFileInfoList made = out.entryInfoList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
        if (!made.isEmpty() && !m_taken.contains(made.first().filePath()) && QueueIdle()) {
            m_taken << made.first().filePath();
            return made.first().filePath();
        }
        QThread::msleep(kPollMs);
    }
    m_problem = QStringLiteral("no PDF came out of the queue: ") + LogTail();
    return {};
}

QString PrivateCups::LogTail() const {
    QFile log(m_folder + QStringLiteral("/log/error_log"));
    if (!log.open(QIODevice::ReadOnly)) return QStringLiteral("(no log)");
    const QStringList lines = QString::fromLocal8Bit(log.readAll()).split('\n', Qt::SkipEmptyParts);
    return lines.mid(std::max<qsizetype>(0, lines.size() - 12)).join('\n');
}
