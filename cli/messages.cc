#include "cli/messages.h"

#include "engine/language.h"
#include "engine/messages.h"
#include "engine/text_format.h"

namespace kalvex::cli {

namespace {

// Paths can be long; the message around them stays readable either way.
constexpr size_t kMessageChars = 999 + 4096;

}  // namespace

std::string SizeNotDigitsText() {
  return LangText("The data volume must be a whole number of MByte (digits only).",
                  "Die Datenmenge muss eine ganze Zahl von MByte sein (nur Ziffern).");
}

std::string UnknownCommandText(const std::string& typed,
                               const std::optional<std::string>& nearest) {
  std::string text = FormatText(kMessageChars,
                                LangText("kalvex-cli: unknown command '%s'",
                                         "kalvex-cli: unbekannter Befehl '%s'"),
                                typed.c_str());
  if (nearest) {
    text += FormatText(kMessageChars, LangText("; did you mean '%s'?", "; gemeint ist wohl '%s'?"),
                       nearest->c_str());
  } else {
    text += LangText(" (commands: test, verify, scan, clean, list)",
                     " (Befehle: test, verify, scan, clean, list)");
  }
  return text;
}

std::string FreeSpaceHintText(uint64_t free_mb) {
  return FormatText(999, LangText("Available: %llu MByte.", "Verfügbar: %llu MByte."),
                    Ull(free_mb));
}

std::string JsonOpenFailedText(const std::string& path) {
  return FormatText(kMessageChars,
                    LangText("Can't create the result file \"%s\".",
                             "Die Ergebnisdatei \"%s\" kann nicht angelegt werden."),
                    path.c_str());
}

std::string JsonWriteFailedText(const std::string& path) {
  return FormatText(kMessageChars,
                    LangText("Can't write the result file \"%s\".",
                             "Die Ergebnisdatei \"%s\" kann nicht geschrieben werden."),
                    path.c_str());
}

std::string ChartWriteFailedText(const std::string& path) {
  return FormatText(kMessageChars,
                    LangText("Can't write the chart file \"%s\".",
                             "Die Diagrammdatei \"%s\" kann nicht geschrieben werden."),
                    path.c_str());
}

std::string JsonIsTestDataText(const std::string& path) {
  return FormatText(kMessageChars,
                    LangText("The result file \"%s\" would replace or add a test file of the "
                             "target; choose another name or folder.",
                             "Die Ergebnisdatei \"%s\" würde eine Testdatei des Ziels ersetzen "
                             "oder hinzufügen; bitte einen anderen Namen oder Ordner wählen."),
                    path.c_str());
}

std::string MediaColumnText(int column) {
  static constexpr TextPair kColumns[] = {
      {"DEVICE", "GERÄT"}, {"LABEL", "NAME"},      {"FILE SYSTEM", "DATEISYSTEM"},
      {"SIZE", "GRÖSSE"},  {"FREE", "FREI"},       {"MOUNTED ON", "EINGEHÄNGT IN"}};
  return kColumns[column].Get();
}

std::string NoMediaText(bool all) {
  return all ? LangText("No device is mounted.", "Kein Gerät ist eingehängt.")
             : LangText("No removable or USB medium is mounted (--all lists every mounted device).",
                        "Kein Wechsel- oder USB-Datenträger ist eingehängt (--all zeigt alle "
                        "eingehängten Geräte).");
}

std::string NothingToCleanText() {
  return LangText("No test files to remove.", "Keine Testdateien zu entfernen.");
}

std::string CleanSummaryText(size_t files, uint64_t mbytes) {
  return FormatText(999, LangText("%zu test file(s), %llu MByte.", "%zu Testdatei(en), %llu MByte."),
                    files, Ull(mbytes));
}

std::string CleanQuestionText(size_t files) {
  return FormatText(999, LangText("Remove these %zu file(s)? [y/N] ",
                                  "Diese %zu Datei(en) entfernen? [j/N] "),
                    files);
}

std::string NotCleanedText() {
  return LangText("Nothing was removed. Give --yes to remove without being asked.",
                  "Nichts wurde entfernt. Mit --yes wird ohne Rückfrage entfernt.");
}

std::string CleanedText(size_t files) {
  return FormatText(999, LangText("Removed %zu test file(s).", "%zu Testdatei(en) entfernt."),
                    files);
}

std::string StrayLeftText(size_t files) {
  return FormatText(999,
                    LangText("%zu other file(s) named *.kvx left in place; --all removes them too.",
                             "%zu weitere Datei(en) *.kvx belassen; --all entfernt auch sie."),
                    files);
}

std::string StopRequestedText() {
  return LangText("Stopping after the current block, please wait ...",
                  "Der Test hält nach dem laufenden Block an, bitte warten ...");
}

std::string StillStoppingText() {
  return LangText("Still waiting for the current block to finish; the test files stay intact.",
                  "Der laufende Block wird noch beendet; die Testdateien bleiben intakt.");
}

std::string AbortedText() { return LangText("Test aborted.", "Test abgebrochen."); }

std::string PassNumberText(uint64_t pass) {
  return FormatText(999, LangText("pass %llu", "Durchgang %llu"), Ull(pass));
}

std::string RemainingText(const std::string& duration) {
  return FormatText(999, LangText("%s left in all", "noch %s insgesamt"), duration.c_str());
}

std::string StartingLabel() { return LangText("Starting", "Start"); }

}  // namespace kalvex::cli
