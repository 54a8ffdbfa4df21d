// vexorin-chart [--decimal C] IN.bki OUT.svg|OUT.png: the opportunity chart
// of an investigation file, drawn offscreen exactly as the window draws it.
// vexorin-research runs it for --chart, so the headless tool itself stays
// free of Qt.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/program_info.h"
#include "results/investigation_file.h"
#include "ui/chart/OpportunityChart.h"

int main(int argc, char** argv) {
    if (vx::AnswerVersionOrHelp(argc, argv, "vexorin-chart",
                                "usage: vexorin-chart [--decimal C] IN.bki OUT.svg|OUT.png\n",
                                "Draws the opportunity chart of an investigation file.\n"))
        return 0;
    char sep = '.';
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--decimal") == 0 && std::strlen(argv[2]) == 1) {
        sep = argv[2][0];
        first = 3;
    }
    if (argc - first != 2) {
        std::fputs("usage: vexorin-chart [--decimal C] IN.bki OUT.svg|OUT.png\n", stderr);
        return 2;
    }
    const std::string in = argv[first], out = argv[first + 1];
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Our own line on failure is the only thing said on stderr.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    vx::ResultsTable table(sep);
    if (const vx::LoadOutcome opened = vx::LoadInvestigationFile(in, table); !opened) {
        std::fprintf(stderr, "vexorin-chart: cannot open %s: %s\n", in.c_str(),
                     vx::LoadFailureText(opened).c_str());
        return 1;
    }
    vx::ui::OpportunityChart chart;
    chart.Update(table);
    if (!chart.SavePicture(QString::fromLocal8Bit(out.c_str()), QSize(900, 600))) {
        std::fprintf(stderr, "vexorin-chart: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
