#include "tools/profiles/profiles_tool.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QTextStream out(stdout);
  QTextStream err(stderr);
  return auralith::tools::RunProfilesTool(application.arguments().mid(1), out, err);
}
