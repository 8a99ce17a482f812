#include "window/WindowOptions.h"

#include <CLI/CLI.hpp>
#include <sstream>

#include "options/CommonOptions.h"

int ParseWindowOptions(int argc, char** argv, WindowOptions* options, std::string* message, const std::string& program,
                       const std::string& footer) {
  CLI::App app{"QEL Upgrade: checks and upgrades the gateway's router and wireless modules."};
  app.set_version_flag("--version", program + " " + QEL_VERSION);
  AddGatewayOptions(&app, options, program, true);
  if (!footer.empty()) app.footer(footer);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& answer) {
    std::ostringstream out;
    const int code = app.exit(answer, out, out);
    *message = out.str();
    return code;
  } catch (const CLI::ParseError& failure) {
    *message = failure.what();
    return failure.get_exit_code();
  }
  return -1;
}
