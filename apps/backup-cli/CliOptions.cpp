#include "CliOptions.h"

#include <charconv>
#include <string_view>
#include <system_error>

namespace zk::cli {
namespace {

constexpr std::string_view kJobsOption = "--jobs";

TCommand CommandNamed(const std::string& name) {
  if (name == "list") return TCommand::cmList;
  if (name == "run") return TCommand::cmRun;
  if (name == "serve") return TCommand::cmServe;
  if (name == "import") return TCommand::cmImport;
  if (name == "history") return TCommand::cmHistory;
  if (name == "verify") return TCommand::cmVerify;
  if (name == "restore") return TCommand::cmRestore;
  if (name == "status") return TCommand::cmStatus;
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
  const bool oneJob = options.Command == TCommand::cmHistory || options.Command == TCommand::cmVerify ||
                      options.Command == TCommand::cmRestore;
  if (options.Command == TCommand::cmRestore && (!options.JobNames.empty() || options.Archive)) {
    options.Paths.push_back(argument);
    return;
  }
  if (options.Command != TCommand::cmRun && !(oneJob && options.JobNames.empty()))
    throw TUsageError("Fölös paraméter: " + argument);
  options.JobNames.push_back(argument);
}

// The value of an option given as "--name VALUE" or "--name=VALUE".
bool TakeValue(const std::vector<std::string>& arguments, std::size_t& i, std::string_view name, std::string& value) {
  const std::string& argument = arguments[i];
  if (argument == name) {
    if (i + 1 >= arguments.size()) throw TUsageError("A(z) " + std::string(name) + " kapcsoló után hiányzik az érték");
    value = arguments[++i];
    return true;
  }
  if (argument.starts_with(std::string(name) + "=")) {
    value = argument.substr(name.size() + 1);
    return true;
  }
  return false;
}

int RunNumberOf(const std::string& text) {
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number < 1)
    throw TUsageError("A --run kapcsoló pozitív egész számot vár: " + text);
  return number;
}

int ThreadCountOf(const std::string& text) {
  int count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (error != std::errc() || end != text.data() + text.size() || count < 1)
    throw TUsageError("A --threads kapcsoló pozitív egész számot vár: " + text);
  return count;
}

void CheckComplete(const TCliOptions& options) {
  if (options.Help || options.Version) return;
  if (options.Command == TCommand::cmNone) throw TUsageError("Hiányzik a parancs");
  if (options.Command == TCommand::cmRun && options.JobNames.empty())
    throw TUsageError("A run parancs legalább egy mentés nevét várja");
  const bool archiveCommand = options.Command == TCommand::cmVerify || options.Command == TCommand::cmRestore;
  if ((options.Archive || options.RunNumber) && !archiveCommand)
    throw TUsageError("A --run és az --archive kapcsoló csak a verify és a restore parancshoz tartozik");
  if ((options.Target || options.Overwrite != "never") && options.Command != TCommand::cmRestore)
    throw TUsageError("A --to és az --overwrite kapcsoló csak a restore parancshoz tartozik");
  if (options.Command == TCommand::cmHistory && options.JobNames.empty())
    throw TUsageError("A history parancs egy mentés nevét várja");
  if (archiveCommand) {
    if (options.Archive && (!options.JobNames.empty() || options.RunNumber))
      throw TUsageError("Az --archive kapcsoló mellett nem kell mentés neve és --run");
    if (!options.Archive && options.JobNames.empty())
      throw TUsageError("Hiányzik a mentés neve vagy az --archive kapcsoló");
    if (options.Command == TCommand::cmRestore && options.Archive && !options.Target)
      throw TUsageError("Az --archive kapcsolóhoz a --to kapcsoló is kell");
  }
  if (options.Overwrite != "never" && options.Overwrite != "newer" && options.Overwrite != "always")
    throw TUsageError("Az --overwrite értéke never, newer vagy always lehet: " + options.Overwrite);
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
    } else if (argument == "--notify-success") {
      options.NotifySuccess = true;
    } else if (std::string value; TakeValue(arguments, i, "--run", value)) {
      options.RunNumber = RunNumberOf(value);
    } else if (TakeValue(arguments, i, "--threads", value)) {
      options.Threads = ThreadCountOf(value);
    } else if (TakeValue(arguments, i, "--archive", value)) {
      if (value.empty()) throw TUsageError("Az --archive kapcsoló fájlneve üres");
      options.Archive = value;
    } else if (TakeValue(arguments, i, "--to", value)) {
      if (value.empty()) throw TUsageError("A --to kapcsoló mappaneve üres");
      options.Target = value;
    } else if (TakeValue(arguments, i, "--overwrite", value)) {
      options.Overwrite = value;
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
         "  history NÉV    a mentés futásai a legújabbal kezdve, sorszámmal\n"
         "  status         minden mentés utolsó futása, utolsó jó mentésének kora, következő\n"
         "                 ütemezett ideje, és \"elmaradt\", ha régóta nincs jó mentése\n"
         "  verify NÉV [--run N] | verify --archive FÁJL\n"
         "                 az archívum minden bejegyzésének ellenőrzése\n"
         "  restore NÉV [--run N] [--to MAPPA] [--overwrite never|newer|always] [ÚTVONAL...]\n"
         "  restore --archive FÁJL --to MAPPA [--overwrite ...] [ÚTVONAL...]\n"
         "                 a futás fájljainak visszaállítása (alapértelmezés: a legújabb\n"
         "                 \"Ok\" futás, az eredeti helyükre, meglévő fájl felülírása nélkül)\n"
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
         "  --notify-success  a serve a jól végződött futásokról is értesítést küld\n"
         "  --threads N    a run és a serve N szálon tömörít (alapértelmezés: ahány mag van)\n"
         "  --run N        a history N. futása (1 a legújabb)\n"
         "  --archive FÁJL ez az archívum, nem egy mentés futása\n"
         "  --to MAPPA     visszaállítás ebbe a mappába, a tárolt útvonal szerint\n"
         "  --overwrite M  meglévő fájl: never megtartja, newer csak régebbit cserél,\n"
         "                 always mindig felülírja\n"
         "  --help         ez a leírás\n"
         "  --version      a program neve és változata\n"
         "\n"
         "Kilépési kód: 0 rendben, 1 hibasor íródott, 2 hibás parancssor vagy mentés;\n"
         "a jelzéssel leállított serve 0 (hibasorait a futások jelentik); a status 3,\n"
         "ha egy mentés elmaradt, vagy utolsó futása leállt vagy hiányos lett.\n";
}

}  // namespace zk::cli
