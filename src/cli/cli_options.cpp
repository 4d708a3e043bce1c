#include "cli/cli_options.h"

#include <charconv>
#include <string_view>
#include <system_error>
#include <utility>

#include "simulation/oscilloscope_run.h"
#include "window_core/version_info.h"

namespace quorvel::cli {

namespace {

// A whole argument as a C-locale number, or nothing.
std::optional<double> ParseDouble(std::string_view text) {
  double value = 0;
  const char* const end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  std::int64_t value = 0;
  const char* const end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

// The commands an option belongs to.
enum OptionScope : unsigned {
  kSweepOption = 1,
  kScopeOption = 2,
  kCompareOption = 4,
  kRunOption = kSweepOption | kScopeOption,
};

enum class OptionId {
  Help,
  Version,
  Output,
  Tolerance,
  Parameters,
  Functions,
  Start,
  End,
  Frequency,
  Samples,
  Oscillations,
  Waveform,
  Method,
  Report
};

struct OptionInfo {
  std::string_view name;
  OptionId id;
  bool takes_value;
  unsigned scope;  // OptionScope bits
};

constexpr OptionInfo kOptions[] = {
    {"--help", OptionId::Help, false, kRunOption | kCompareOption},
    {"-h", OptionId::Help, false, kRunOption | kCompareOption},
    {"--version", OptionId::Version, false, kRunOption | kCompareOption},
    {"--parameters", OptionId::Parameters, true, kRunOption},
    {"--functions", OptionId::Functions, true, kRunOption},
    {"--start", OptionId::Start, true, kSweepOption},
    {"--end", OptionId::End, true, kSweepOption},
    {"--frequency", OptionId::Frequency, true, kScopeOption},
    {"--samples", OptionId::Samples, true, kRunOption},
    {"--oscillations", OptionId::Oscillations, true, kRunOption},
    {"--waveform", OptionId::Waveform, true, kScopeOption},
    {"--method", OptionId::Method, true, kSweepOption},
    {"--report", OptionId::Report, false, kRunOption},
    {"-o", OptionId::Output, true, kRunOption},
    {"--output", OptionId::Output, true, kRunOption},
    {"--tolerance", OptionId::Tolerance, true, kCompareOption},
};

const OptionInfo* FindOption(std::string_view name) {
  for (const OptionInfo& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// Builds the options from the arguments; the first mistake or help request ends it.
class Parser {
 public:
  ParsedCommandLine Parse(const std::vector<std::string>& args) {
    std::vector<std::string> positionals;
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (options_ended || arg.size() < 2 || arg[0] != '-') {
        positionals.push_back(arg);
        continue;
      }
      if (arg == "--") {
        options_ended = true;
        continue;
      }
      std::string_view name = arg;
      std::optional<std::string> inline_value;
      if (const std::size_t eq = arg.find('=');
          arg.rfind("--", 0) == 0 && eq != std::string::npos) {
        name = std::string_view(arg).substr(0, eq);
        inline_value = arg.substr(eq + 1);
      }
      const OptionInfo* option = FindOption(name);
      if (option == nullptr) return Error("opzione sconosciuta: " + std::string(name));
      if (option->id == OptionId::Help || option->id == OptionId::Version) {
        if (inline_value) return Error("l'opzione " + std::string(name) + " non accetta un valore");
        ParsedCommandLine answer;
        answer.kind = option->id == OptionId::Help ? ParsedCommandLine::Kind::Help
                                                   : ParsedCommandLine::Kind::Version;
        return answer;
      }
      std::string value;
      if (option->takes_value) {
        if (inline_value) {
          value = *inline_value;
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          return Error("l'opzione " + std::string(name) + " richiede un valore");
        }
      } else if (inline_value) {
        return Error("l'opzione " + std::string(name) + " non accetta un valore");
      }
      if (!Apply(*option, value)) return result_;
      used_.push_back(option);
    }
    if (!Positionals(positionals)) return result_;
    if (!CheckScopes()) return result_;
    result_.kind = ParsedCommandLine::Kind::Run;
    return result_;
  }

 private:
  ParsedCommandLine Error(std::string message) {
    result_.kind = ParsedCommandLine::Kind::UsageError;
    result_.message = std::move(message);
    return result_;
  }
  bool Fail(std::string message) {
    Error(std::move(message));
    return false;
  }

  bool Frequency(std::string_view name, const std::string& value, std::optional<double>& target) {
    const std::optional<double> number = ParseDouble(value);
    if (!number || !(*number >= kMinFrequency && *number <= kMaxFrequency)) {
      return Fail("valore non valido per " + std::string(name) + ": " + Quoted(value) +
                  " (serve una frequenza in Hz da 0.001 a 1e14, con il punto decimale)");
    }
    target = *number;
    return true;
  }

  bool Integer(std::string_view name, const std::string& value, std::int32_t min, std::int32_t max,
               std::optional<std::int32_t>& target) {
    const std::optional<std::int64_t> number = ParseInteger(value);
    if (!number || *number < min || *number > max) {
      return Fail("valore non valido per " + std::string(name) + ": " + Quoted(value) +
                  " (serve un numero intero da " + std::to_string(min) + " a " +
                  std::to_string(max) + ")");
    }
    target = static_cast<std::int32_t>(*number);
    return true;
  }

  bool Apply(const OptionInfo& option, const std::string& value) {
    CliOptions& o = result_.options;
    switch (option.id) {
      case OptionId::Help:
      case OptionId::Version:
        return true;
      case OptionId::Output:
        if (value.empty())
          return Fail("l'opzione " + std::string(option.name) + " richiede un file");
        o.output = value;
        return true;
      case OptionId::Tolerance: {
        const std::optional<double> number = ParseDouble(value);
        if (!number || !(*number >= 0 && *number <= 1e300)) {
          return Fail("valore non valido per --tolerance: " + Quoted(value) +
                      " (serve un numero maggiore o uguale a 0, con il punto decimale)");
        }
        o.tolerance = *number;
        return true;
      }
      case OptionId::Parameters:
        o.parameters = FilterTextFromArgument(value);
        return true;
      case OptionId::Functions:
        o.functions = FilterTextFromArgument(value);
        return true;
      case OptionId::Start:
        return Frequency(option.name, value, o.start_frequency);
      case OptionId::End:
        return Frequency(option.name, value, o.end_frequency);
      case OptionId::Frequency:
        return Frequency(option.name, value, o.frequency);
      case OptionId::Samples:
        // The range depends on the command, which may come later: checked in CheckScopes.
        return Integer(option.name, value, kMinScopeSamples, kMaxSamples, o.samples);
      case OptionId::Oscillations:
        return Integer(option.name, value, kMinOscillations, kMaxOscillations, o.oscillations);
      case OptionId::Waveform:
        o.waveform = QString::fromLocal8Bit(value);
        return true;
      case OptionId::Method:
        if (value == "precise") {
          o.method = SweepMethod::kPrecise;
        } else if (value == "classic") {
          o.method = SweepMethod::kClassic;
        } else {
          return Fail("valore non valido per --method: " + Quoted(value) +
                      " (serve precise o classic)");
        }
        return true;
      case OptionId::Report:
        o.report = true;
        return true;
    }
    return true;
  }

  bool Positionals(const std::vector<std::string>& positionals) {
    if (positionals.empty()) return Fail("manca il comando: sweep, scope o compare");
    const std::string& command = positionals[0];
    CliOptions& o = result_.options;
    if (command == "sweep") {
      o.command = Command::Sweep;
    } else if (command == "scope") {
      o.command = Command::Scope;
    } else if (command == "compare") {
      o.command = Command::Compare;
      if (positionals.size() < 3) return Fail("compare confronta due file CSV: A.csv B.csv");
      if (positionals.size() > 3) return Fail("argomento in più: " + Quoted(positionals[3]));
      o.tables = {positionals[1], positionals[2]};
      if (o.tables[0] == "-" && o.tables[1] == "-") {
        return Fail("solo uno dei due file può essere lo standard input (-)");
      }
      return true;
    } else {
      return Fail("comando sconosciuto: " + Quoted(command) + " (comandi: sweep, scope, compare)");
    }
    if (positionals.size() > 2) return Fail("argomento in più: " + Quoted(positionals[2]));
    if (positionals.size() == 2) o.file = positionals[1];
    if (!o.file && !o.functions) return Fail("serve un file .flt oppure --functions");
    return true;
  }

  // The commands of an option's scope, for the message about an option of another command.
  static std::string CommandsOf(unsigned scope) {
    std::string names;
    for (const auto& [bit, name] :
         {std::pair{kSweepOption, "sweep"}, std::pair{kScopeOption, "scope"},
          std::pair{kCompareOption, "compare"}}) {
      if ((scope & bit) == 0) continue;
      if (!names.empty()) names += " e ";
      names += name;
    }
    return names;
  }

  bool CheckScopes() {
    const Command command = result_.options.command;
    const unsigned bit = command == Command::Sweep   ? kSweepOption
                         : command == Command::Scope ? kScopeOption
                                                     : kCompareOption;
    for (const OptionInfo* option : used_) {
      if ((option->scope & bit) == 0) {
        return Fail("l'opzione " + std::string(option->name) + " vale solo per " +
                    CommandsOf(option->scope));
      }
    }
    const std::optional<std::int32_t>& samples = result_.options.samples;
    if (command == Command::Sweep && samples && *samples < kMinSweepSamples) {
      return Fail("valore non valido per --samples: " + Quoted(std::to_string(*samples)) +
                  " (sweep: serve un numero intero da " + std::to_string(kMinSweepSamples) + " a " +
                  std::to_string(kMaxSamples) + ")");
    }
    return true;
  }

  ParsedCommandLine result_;
  std::vector<const OptionInfo*> used_;
};

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  return Parser().Parse(args);
}

QString FilterTextFromArgument(const std::string& argument) {
  const QString text = QString::fromLocal8Bit(argument);
  QString converted;
  converted.reserve(text.size() + text.count(QLatin1Char('\n')));
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('\n') && (i == 0 || text[i - 1] != QLatin1Char('\r'))) {
      converted += QLatin1Char('\r');
    }
    converted += text[i];
  }
  return converted;
}

std::string VersionText() {
  return "quorvel-cli " + ProgramVersion().VersionText().toStdString() + "\n";
}

std::string UsageHint() {
  return "Uso: quorvel-cli sweep|scope [FILE.flt] [opzioni] | compare A.csv B.csv   "
         "(quorvel-cli --help per i dettagli)\n";
}

std::string HelpText() {
  // The waveform names, wrapped under the option's description.
  constexpr std::string_view kIndent = "                         ";
  constexpr std::size_t kWidth = 96;
  std::string waveforms(kIndent);
  std::size_t line_start = 0;
  const QStringList names = WaveformNames();
  for (qsizetype i = 0; i < names.size(); ++i) {
    const std::string name = names[i].toStdString() + (i + 1 < names.size() ? "," : ";");
    if (waveforms.size() - line_start + 1 + name.size() > kWidth) {
      line_start = waveforms.size() + 1;
      waveforms += '\n';
      waveforms += kIndent;
    } else if (waveforms.size() - line_start > kIndent.size()) {
      waveforms += ' ';
    }
    waveforms += name;
  }
  return R"(quorvel-cli - prova un filtro di Quorvel senza finestre

Uso:
  quorvel-cli sweep [FILE.flt] [opzioni]   risposta in frequenza (ampiezza e fase)
  quorvel-cli scope [FILE.flt] [opzioni]   corsa dell'oscilloscopio nel tempo
  quorvel-cli compare A.csv B.csv [--tolerance X]
                                           confronta due CSV scritti da quorvel-cli
  quorvel-cli -h | --help                  questo testo
  quorvel-cli --version                    la versione

Il test (filtro e impostazioni) viene dal file .flt salvato da Quorvel; "-" al posto del file
è lo standard input. Senza file serve --functions: il filtro è dato da --functions (e, se
serve, da --parameters) con le impostazioni predefinite della finestra principale.

Filtro:
  --parameters TESTO   "Parametri del filtro": eseguiti prima di ogni frequenza.
  --functions TESTO    "Funzioni del filtro": eseguite a ogni passo (leggono t, dt, vi;
                       scrivono vo).
                       Con un file, questi testi sostituiscono quelli del file. Un a capo nel
                       testo (in bash: $'a = 1\nb = 2') diventa CR LF come nel programma.

sweep  scrive su stdout il CSV "frequency_hz,amplitude,phase_deg", una riga per frequenza
       misurata (ampiezza come rapporto, fase in gradi). Dal file: frequenza iniziale
       StF x 10^(3 StFM), finale EnF x 10^(3 EnFM), oscillazioni (Osc), campioni (Ca).
  --start HZ           frequenza iniziale in Hz, da 0.001 a 1e14
  --end HZ             frequenza finale in Hz (se minore dell'iniziale, lo sweep scende)
  --samples N          numero di frequenze, da 2 a 1000000
  --oscillations N     oscillazioni per frequenza, da 1 a 32767
  --method classic|precise
                       metodo di misura (dal file: "precisa" se il test la usa, altrimenti
                       "classica"). classic: |vo| medio su |vi| medio per tutta la corsa,
                       fase dal minimo dell'uscita nel primo periodo. precise: scarta i periodi
                       finché l'uscita non si è assestata, poi misura la prima armonica di vi e
                       vo su N periodi interi (adattamento sinusoidale ai minimi quadrati);
                       più lento, molto più esatto

scope  scrive su stdout il CSV "time_s,vi,vo,frames", una riga per campione (frames: i
       frame dal campione precedente). Dalla sezione oscilloscopio del file: forma d'onda,
       frequenza f = OscFreq/100 x (fine - inizio) + inizio, oscillazioni, campioni e, se il
       filtro parametrico è attivo, i parametri della lista. Un file senza quella sezione
       usa le impostazioni con cui si apre l'oscilloscopio: frequenze e oscillazioni della
       finestra principale, 1000 campioni, onda sinusoidale.
  --waveform TESTO     forma d'onda, una di:
)" + waveforms +
         R"(
                       ogni altro testo è l'istruzione d'ingresso (es. "vi = t * _f")
  --frequency HZ       frequenza della corsa in Hz, da 0.001 a 1e14
  --oscillations N     oscillazioni, da 1 a 32767
  --samples N          campioni, da 1 a 1000000

Per entrambi:
  -o FILE, --output FILE
                       scrive il CSV in FILE invece che su stdout. FILE è sostituito solo a
                       simulazione finita, con il CSV completo: non resta mai a metà, e se la
                       simulazione è rifiutata resta com'era. "-o -" è stdout; un
                       dispositivo o una FIFO (/dev/null) è scritto così com'è.
  --report             scrive su stderr il resoconto della simulazione (a capo LF)
  -h, --help           questo testo
  --version            scrive la versione ed esce
  --                   fine delle opzioni (per un file il cui nome inizia con "-"; "./-" è
                       un file di nome "-")
  Le opzioni si scrivono anche come --opzione=valore.

compare A.csv B.csv  confronta due tabelle scritte da sweep o scope (una può essere "-",
       lo standard input), valore per valore: le intestazioni devono essere uguali, e le
       tabelle sono uguali se hanno le stesse righe e ogni valore corrisponde. Scrive su
       stdout i valori diversi (riga, colonna, i due valori; al massimo 20) e quanti sono.
  --tolerance X        due valori a e b corrispondono se |a - b| <= X * max(1, |a|, |b|):
                       una differenza assoluta per valori fino a 1 (ampiezze), relativa per
                       quelli più grandi (frequenze, fasi in gradi). Predefinita: 0 (uguali).
                       Due campi vuoti corrispondono; un campo vuoto e un numero no.

Controllo di regressione in uno script (sh): confronta uno sweep con un CSV salvato prima,
per esempio con "quorvel-cli sweep filtro.flt -o riferimento.csv":
  quorvel-cli sweep filtro.flt -o nuovo.csv || exit 2
  quorvel-cli compare riferimento.csv nuovo.csv --tolerance 1e-6
oppure, senza file intermedio:
  quorvel-cli sweep filtro.flt | quorvel-cli compare riferimento.csv - --tolerance 1e-6
  (con "set -o pipefail" in bash, anche un errore dello sweep fa fallire il comando).

Numeri: sulla riga di comando con il punto decimale (1000, 2.5, 1e3); nel CSV con il punto e
tutte le cifre che servono a rileggerli esatti. Le frequenze del file sono controllate come
fa "Avvia": un testo non valido dà "La frequenza iniziale ..." e codice 1.

Su stdout il CSV è scritto riga per riga, appena ogni punto è misurato. Un punto che il
filtro rende non calcolabile (un'uscita che non è un numero finito) ha i campi di ampiezza e
fase vuoti; nello scope, un valore che non è un numero finito è un campo vuoto.

Su un terminale, stderr mostra l'avanzamento (percentuale, tempo residuo stimato, errori).
Ctrl+C (SIGINT), SIGTERM e SIGHUP fermano la simulazione come "Ferma": il CSV (su stdout o,
con -o, in FILE) contiene le righe misurate fino a quel momento, con --report il resoconto
dice "Operazione annullata", e il codice è quello di un programma terminato dal segnale: 130
(SIGINT), 143 (SIGTERM), 129 (SIGHUP). Un secondo segnale, o un segnale mentre il file è
ancora in lettura, termina subito con lo stesso codice (con -o, FILE resta com'era).

Un file di test non può superare 16 MiB, anche dallo standard input.

Ogni simulazione parte da ferma: tutte le variabili di stato valgono 0 prima che i parametri
vengano eseguiti. Un testo che dichiara let, const o class fuori da un blocco viene rifiutato
(codice 1): verrebbe dichiarato di nuovo a ogni esecuzione.

Alla fine, se il filtro ha dato errori, stderr elenca ogni errore distinto (con la riga del
testo) e quante volte si è verificato, il primo per primo.

Codici di uscita di sweep e scope:
  0    simulazione eseguita (gli errori del filtro sono contati nel resoconto, con --report)
  1    file illeggibile, non valido o più grande di 16 MiB, frequenza del test non valida, passo
       dt fissato dai parametri che non è un numero maggiore di 0 (o troppo piccolo), let o
       const fuori da un blocco, FILE di -o non scrivibile, errore di scrittura
  2    riga di comando errata
  129  interrotto da SIGHUP
  130  interrotto da Ctrl+C (SIGINT)
  143  interrotto da SIGTERM
Codici di uscita di compare:
  0    tabelle uguali (entro la tolleranza)
  1    tabelle diverse
  2    riga di comando errata, file illeggibile o che non è una tabella di quorvel-cli, o
       intestazioni diverse
)";
}

}  // namespace quorvel::cli
