// A real printer for the tests: a CUPS daemon of the test's own (its configuration, spool,
// logs and socket in a folder of its own) with one cups-pdf queue, whose jobs come out as PDF
// files in a folder the test reads. Print goes through it exactly as a user's print goes
// through their CUPS: Qt's print support, the filters, the backend and Ghostscript.
//
// The client side (Qt's print support, lpadmin, lpstat) finds the daemon through CUPS_SERVER,
// which libcups reads once: PointClientsHere must run before anything in the process touches
// CUPS, that is before the QApplication is made.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class PrivateCups {
public:
    // Sets CUPS_SERVER to the socket this process's daemon will listen on.
    static void PointClientsHere();

    // Starts the daemon and adds the queue; Problem says why when that failed (no CUPS or
    // cups-pdf installed, not root, the daemon would not start).
    PrivateCups();
    // Stops the daemon and removes everything it left.
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    bool Ready() const { return m_problem.isEmpty(); }
    const QString& Problem() const { return m_problem; }
    // The queue's name, as QPrinter and QPrinterInfo know it.
    const QString& Queue() const { return m_queue; }

    // Waits until the queue has no unfinished job and gives the newest PDF cups-pdf wrote
    // since the last call; empty (with the daemon's last log lines in Problem) when none came
    // within timeoutMs.
    QString WaitForPdf(int timeoutMs = 30000);

private:
    bool Start();
    bool WriteConfiguration();
    bool WaitForSocket(int timeoutMs);
    bool AddQueue();
    bool QueueIdle();
    QString LogTail() const;

    QString m_folder;       // everything the daemon reads and writes
    QString m_backendConf;  // cups-pdf's configuration of this queue (cups-pdf reads it from /etc/cups)
    QString m_queue;
    QString m_problem;
    QStringList m_taken;  // PDFs already handed out
    std::unique_ptr<QProcess> m_daemon;
};
