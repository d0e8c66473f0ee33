#include "cli/fleet.h"

#include "platform/stop_signals.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <memory>

namespace kr4720::cli {
namespace {

QString phaseText(Phase phase) {
    switch (phase) {
    case Phase::Opening:
        return QStringLiteral("打开端口");
    case Phase::Waiting:
        return QStringLiteral("等待对讲机应答");
    case Phase::Reading:
        return QStringLiteral("正在读取");
    case Phase::Writing:
        return QStringLiteral("正在写入");
    case Phase::Verifying:
        return QStringLiteral("正在核对");
    case Phase::Done:
        return QStringLiteral("完成");
    case Phase::Failed:
        return QStringLiteral("失败");
    case Phase::Stopped:
        return QStringLiteral("已停止");
    }
    return {};
}

// The rows a line takes on a terminal `columns` wide: a Chinese character
// that does not fit at the end of a row goes to the next one whole.
int rowsOf(const QString& line, int columns) {
    int rows = 1;
    int used = 0;
    for (const QChar c : line) {
        const int width = cells(QStringView(&c, 1));
        if (used + width > columns) {
            ++rows;
            used = 0;
        }
        used += width;
    }
    return rows;
}

// One line per port: a bar redrawn in place on a terminal, otherwise a plain
// line each time a port enters a new phase.
class ProgressBoard : public QObject {
public:
    ProgressBoard(const std::vector<PortTask>& tasks, const Console& console)
        : console_(console), lines_(tasks.size()) {
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            lines_[i].label = tasks[i].label;
            width_ = std::max(width_, cells(tasks[i].label));
        }
        if (console_.errorIsTerminal() && !console_.quiet()) {
            draw();
        }
    }

    void update(std::size_t port, Phase phase, int percent) {
        Line& line = lines_[port];
        const bool newPhase = line.phase != phase;
        line.phase = phase;
        // A port that failed or stopped keeps its bar where it was.
        const bool keepsBar = phase == Phase::Failed || phase == Phase::Stopped;
        const bool ended = keepsBar || phase == Phase::Done;
        if (!keepsBar) {
            line.percent = percent;
        }
        if (console_.quiet()) {
            return;
        }
        if (console_.errorIsTerminal()) {
            draw();
        } else if (newPhase && !ended) {
            console_.raw(line.label + QStringLiteral(": ") + phaseText(phase) + QLatin1Char('\n'));
        }
    }

    // Under the bars on a terminal, otherwise a line of its own.
    void stopping(bool writing) {
        footer_ = writing
                      ? QStringLiteral("正在停止...（已开始写入的对讲机会先写完，以免信道不完整）")
                      : QStringLiteral("正在停止...");
        if (console_.quiet()) {
            return;
        }
        if (console_.errorIsTerminal()) {
            draw();
        } else {
            console_.raw(footer_ + QLatin1Char('\n'));
        }
    }

private:
    struct Line {
        QString label;
        Phase phase = Phase::Opening;
        int percent = 0;
    };

    // The bars narrow to fit the terminal; a line still too wide (a long
    // /dev/serial/by-id name) wraps, and the redraw goes up the rows it took.
    void draw() {
        // " [", "] ", "100% " and the longest phase, 等待对讲机应答.
        constexpr int kBesideBar = 23;
        const int columns = console_.terminalColumns();
        const int bar = std::clamp(columns - 1 - width_ - kBesideBar, 10, 30);
        // Up to where the board began, and everything from there cleared.
        QString text = drawn_ > 0 ? QStringLiteral("\x1b[%1A\r\x1b[J").arg(drawn_)
                                  : QStringLiteral("\r\x1b[J");
        drawn_ = 0;
        const auto put = [&](const QString& line) {
            text += line + QLatin1Char('\n');
            drawn_ += rowsOf(line, columns);
        };
        for (const Line& line : lines_) {
            const int filled = line.percent * bar / 100;
            put(line.label + QString(width_ - cells(line.label), QLatin1Char(' ')) +
                QStringLiteral(" [") + QString(filled, QLatin1Char('#')) +
                QString(bar - filled, QLatin1Char('.')) +
                QStringLiteral("] %1% ").arg(line.percent, 3) + phaseText(line.phase));
        }
        if (!footer_.isEmpty()) {
            put(footer_);
        }
        console_.raw(text);
    }

    const Console& console_;
    std::vector<Line> lines_;
    int width_ = 0;
    int drawn_ = 0; // lines on the terminal, redrawn in place
    QString footer_;
};

} // namespace

std::vector<PortResult> runFleet(const std::vector<PortTask>& tasks, const Console& console) {
    std::vector<PortResult> results(tasks.size());
    ProgressBoard board(tasks, console);
    QEventLoop loop;
    const bool writing = std::ranges::any_of(
        tasks, [](const PortTask& task) { return task.kind == PortTask::Kind::Write; });
    platform::onStopSignal(&loop, [&board, writing] { board.stopping(writing); });
    std::size_t running = tasks.size();
    std::vector<std::unique_ptr<QThread>> threads;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        // The serial port, its timers and its event loop all live on this thread.
        threads.emplace_back(QThread::create([&, i] {
            const ProgressFunction progress = [&board, i](Phase phase, int percent) {
                QMetaObject::invokeMethod(
                    &board, [&board, i, phase, percent] { board.update(i, phase, percent); },
                    Qt::QueuedConnection);
            };
            results[i] = runPortTask(tasks[i], progress);
        }));
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&] {
            if (--running == 0) {
                loop.quit();
            }
        });
    }
    for (const auto& thread : threads) {
        thread->start();
    }
    if (running > 0) {
        loop.exec();
    }
    for (const auto& thread : threads) {
        thread->wait();
    }
    // Progress posted by the threads just before they ended.
    QCoreApplication::sendPostedEvents(&board);
    return results;
}

int combinedCode(const std::vector<PortResult>& results) {
    int code = kOk;
    for (const PortResult& result : results) {
        code = std::max(code, result.code);
    }
    return code;
}

} // namespace kr4720::cli
