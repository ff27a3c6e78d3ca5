#include "CliOptions.h"

#include <string_view>

namespace zk::cli {
namespace {

constexpr std::string_view kJobsOption = "--jobs";

TCommand CommandNamed(const std::string& name) {
  if (name == "list") return TCommand::cmList;
  if (name == "run") return TCommand::cmRun;
  if (name == "serve") return TCommand::cmServe;
  if (name == "import") return TCommand::cmImport;
  throw TUsageError("Ismeretlen parancs: " + name);
}

// Whether the argument is an option of ours, so that a lone "-" or a name
// such as "-x" still counts as a job name.
bool IsOption(const std::string& argument) { return argument.starts_with("--"); }

void TakePositional(TCliOptions& options, const std::string& argument) {
  if (options.Command == TCommand::cmNone) {
    options.Command = CommandNamed(argument);
    return;
  }
  if (options.Command != TCommand::cmRun) throw TUsageError("Fölös paraméter: " + argument);
  options.JobNames.push_back(argument);
}

void CheckComplete(const TCliOptions& options) {
  if (options.Help || options.Version) return;
  if (options.Command == TCommand::cmNone) throw TUsageError("Hiányzik a parancs");
  if (options.Command == TCommand::cmRun && options.JobNames.empty())
    throw TUsageError("A run parancs legalább egy mentés nevét várja");
}

}  // namespace

TCliOptions ParseOptions(const std::vector<std::string>& arguments) {
  TCliOptions options;
  bool onlyNames = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (onlyNames || !IsOption(argument)) {
      TakePositional(options, argument);
    } else if (argument == "--") {
      onlyNames = true;
    } else if (argument == "--help") {
      options.Help = true;
    } else if (argument == "--version") {
      options.Version = true;
    } else if (argument == "--no-throttle") {
      options.Throttle = false;
    } else if (argument == "--no-catch-up") {
      options.CatchUp = false;
    } else if (argument == kJobsOption) {
      if (i + 1 >= arguments.size()) throw TUsageError("A --jobs kapcsoló után hiányzik a fájl neve");
      options.JobFile = arguments[++i];
    } else if (argument.starts_with(std::string(kJobsOption) + "=")) {
      options.JobFile = argument.substr(kJobsOption.size() + 1);
    } else {
      throw TUsageError("Ismeretlen kapcsoló: " + argument);
    }
  }
  if (options.JobFile && options.JobFile->empty()) throw TUsageError("A --jobs kapcsoló fájlneve üres");
  CheckComplete(options);
  return options;
}

std::string UsageText() {
  return "Használat: backup-cli [kapcsolók] parancs [mentés...]\n"
         "\n"
         "Parancsok:\n"
         "  list           a mentések listája céllal, tömörítéssel és ütemezéssel\n"
         "  run NÉV...     a megnevezett mentések futtatása egymás után\n"
         "  serve          futás az ütemezések szerint, amíg SIGINT vagy SIGTERM nem jön\n"
         "  import         a régi INI fájl mentéseinek átvétele, ha még nincs mentésfájl\n"
         "\n"
         "Kapcsolók:\n"
         "  --jobs FÁJL    ez a mentésfájl (alapértelmezés: Backup.Xml a program mappájában,\n"
         "                 ha ott van vagy a mappa írható; különben\n"
         "                 $XDG_CONFIG_HOME/backup/Backup.Xml, ~/.config/backup/Backup.Xml);\n"
         "                 az INI fájl a neve .Ini végződéssel, a Log.Txt és az Error.Txt\n"
         "                 a mappájában van\n"
         "  --no-throttle  a futás várakozásai nélkül (mappánként, fájlonként, jelentésenként)\n"
         "  --no-catch-up  a serve nem pótolja az ütemezett futásokat, amelyek akkor maradtak\n"
         "                 el, amikor nem futott\n"
         "  --help         ez a leírás\n"
         "  --version      a program neve és változata\n"
         "\n"
         "Kilépési kód: 0 rendben, 1 hibasor íródott, 2 hibás parancssor vagy mentés;\n"
         "a jelzéssel leállított serve 0 (hibasorait a futások jelentik).\n";
}

}  // namespace zk::cli
