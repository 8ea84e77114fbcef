#include "KestroRun.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <csignal>

#ifndef KESTRO_PROGRAM
#error "KESTRO_PROGRAM must name the built kestro"
#endif

namespace clitest {

bool StartKestro(QProcess& process, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (int n = 1; n <= 10; ++n)
        environment.insert(QString("QUORVA_COM%1").arg(n), MissingPort);
    // The caller's own default port must not lead a test to a device.
    environment.remove("KESTRO_PORT");
    // Nor may a test's download go into the archive of whoever runs the tests.
    static const QTemporaryDir archiveDir;
    environment.insert("QUORVA_ARCHIVE", archiveDir.filePath("archive.sqlite3"));
    for (const auto& [name, value] : env)
        environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    QStringList arguments;
    for (const std::string& arg : args)
        arguments << QString::fromStdString(arg);
    process.setProcessEnvironment(environment);
    process.start(KESTRO_PROGRAM, arguments);
    return process.waitForStarted(10000);
}

TRun RunKestro(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
               int interruptAfterMs) {
    // Longer than any command takes against a logger that answers.
    constexpr int timeoutMs = 90000;
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    TRun run;
    if (!StartKestro(process, args, env))
        return run;
    if (interruptAfterMs >= 0 && !process.waitForFinished(interruptAfterMs))
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.Code = process.exitCode();
    }
    run.Seconds = clock.elapsed() / 1000.0;
    run.Out = process.readAllStandardOutput().toStdString();
    run.Err = process.readAllStandardError().toStdString();
    return run;
}

std::string ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back("~" + text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

} // namespace clitest
