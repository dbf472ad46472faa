// nyajkor3d: the simulator's window.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/translations.h"
#include "model/workers.h"

namespace {

// Until the window's platform is up, Qt's complaints about the display
// (a warning per attempt, then a fatal error and an abort) give way to one
// line and an ordinary exit status.
bool starting = true;

void reportStartup(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (starting && type == QtFatalMsg) {
        std::fputs(nyajkor::app::noDisplayMessage().c_str(), stderr);
        std::_Exit(nyajkor::app::kNoDisplayStatus);
    }
    if (starting && context.category && std::string(context.category).starts_with("qt.qpa")) return;
    std::fputs((qFormatLogMessage(type, context, message) + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
}

}  // namespace

int main(int argc, char** argv) {
    const nyajkor::app::CommandLineAnswer answer = nyajkor::app::answerCommandLine(argc, argv);
    if (!answer.openWindow) {
        std::fputs(answer.out.c_str(), stdout);
        std::fputs(answer.err.c_str(), stderr);
        return answer.status;
    }
    if (answer.threads) nyajkor::Workers::configureShared(*answer.threads);
    const QtMessageHandler qtHandler = qInstallMessageHandler(reportStartup);
    QApplication application(argc, argv);
    starting = false;
    qInstallMessageHandler(qtHandler);
    nyajkor::app::installHungarianTranslations(application);
    nyajkor::app::TForm1 Form1;
    Form1.show();
    return application.exec();
}
