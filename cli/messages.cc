#include "cli/messages.h"

#include "engine/language.h"
#include "engine/text_format.h"

namespace kalvex::cli {

namespace {

// Paths can be long; the message around them stays readable either way.
constexpr size_t kMessageChars = 999 + 4096;

}  // namespace

std::string TargetMissingText(const std::string& path) {
  return FormatText(kMessageChars,
                    LangText("The target folder \"%s\" does not exist.",
                             "Der Zielordner \"%s\" existiert nicht."),
                    path.c_str());
}

std::string TargetNotFolderText(const std::string& path) {
  return FormatText(
      kMessageChars,
      LangText("The target \"%s\" is not a folder.", "Das Ziel \"%s\" ist kein Ordner."),
      path.c_str());
}

std::string SizeNotDigitsText() {
  return LangText("The data volume must be a whole number of MByte (digits only).",
                  "Die Datenmenge muss eine ganze Zahl von MByte sein (nur Ziffern).");
}

std::string FreeSpaceHintText(uint64_t free_mb) {
  return FormatText(999, LangText("Available: %llu MByte.", "Verfügbar: %llu MByte."),
                    static_cast<unsigned long long>(free_mb));
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

std::string WorkerStartFailedText() {
  return LangText("The test could not be started (no thread available).",
                  "Der Test konnte nicht gestartet werden (kein Thread verfügbar).");
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

std::string CachedIoText() {
  return LangText(
      "Note: the file system refused direct I/O; the test data was flushed and dropped "
      "from the cache before it was read back.",
      "Hinweis: Das Dateisystem lehnte direkte Ein-/Ausgabe ab; die Testdaten wurden vor "
      "dem Zurücklesen auf den Datenträger geschrieben und aus dem Cache entfernt.");
}

std::string WritingLabel() { return LangText("Writing", "Schreiben"); }

std::string VerifyingLabel() { return LangText("Verifying", "Prüfen"); }

std::string PassNumberText(uint64_t pass) {
  return FormatText(999, LangText("pass %llu", "Durchgang %llu"),
                    static_cast<unsigned long long>(pass));
}

std::string StartingLabel() { return LangText("Starting", "Start"); }

}  // namespace kalvex::cli
