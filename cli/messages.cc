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
    text += LangText(" (commands: test, verify, scan, clean, list, probe)",
                     " (Befehle: test, verify, scan, clean, list, probe)");
  }
  return text;
}

std::string NotOnThisSystemText(const std::string& command) {
  return FormatText(kMessageChars,
                    LangText("The command %s is not available on Windows: it reads what only "
                             "Linux tells about media and devices. Give the drive or folder"
                             " to test instead, for example: kalvex-cli test E:\\",
                             "Der Befehl %s ist unter Windows nicht verfügbar: Er liest, was nur "
                             "Linux über Datenträger und Geräte mitteilt. Bitte statt"
                             " dessen das Laufwerk oder den Ordner angeben, zum Beispiel: "
                             "kalvex-cli test E:\\"),
                    command.c_str());
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

std::string ProbeDeviceMissingText() {
  return LangText("probe needs a DEVICE, such as /dev/sdb, or --restore BACKUP.",
                  "probe braucht ein GERÄT wie /dev/sdb oder --restore SICHERUNG.");
}

std::string ProbeNeedsRootText() {
  return LangText("The probe writes to the device itself and needs administrator rights: run "
                  "it as root (for example with sudo).",
                  "Die Probe schreibt direkt auf das Gerät und braucht Administratorrechte: "
                  "bitte als root starten (zum Beispiel mit sudo).");
}

std::string ProbeRefusalText(int refusal, const std::string& device, const std::string& detail) {
  static constexpr TextPair kTexts[] = {
      {"\"%s\" can be probed.%s", "\"%s\" kann geprüft werden.%s"},
      {"\"%s\" does not exist.%s", "\"%s\" gibt es nicht.%s"},
      {"\"%s\" is not a block device; give the whole device, such as /dev/sdb.%s",
       "\"%s\" ist kein Blockgerät; bitte das ganze Gerät angeben, etwa /dev/sdb.%s"},
      {"\"%s\" is a partition; give the whole device (%s).",
       "\"%s\" ist eine Partition; bitte das ganze Gerät angeben (%s)."},
      {"\"%s\" holds the running system and is never probed.%s",
       "\"%s\" enthält das laufende System und wird nie geprüft.%s"},
      {"\"%s\" is mounted: %s. Unmount it and every partition on it first.",
       "\"%s\" ist eingehängt: %s. Bitte zuerst das Gerät und alle seine Partitionen "
       "aushängen."},
      {"\"%s\" is in use as swap space (%s); switch it off first.",
       "\"%s\" wird als Auslagerungsspeicher benutzt (%s); bitte zuerst abschalten."},
      {"\"%s\" is in use by another device: %s.",
       "\"%s\" wird von einem anderen Gerät benutzt: %s."},
      {"\"%s\" has no medium, or a size of zero.%s",
       "\"%s\" hat keinen Datenträger oder die Größe null.%s"},
  };
  const TextPair& pair = kTexts[refusal >= 0 && refusal < 9 ? refusal : 0];
  const bool named = refusal == 3 || refusal == 5 || refusal == 6 || refusal == 7;
  return FormatText(kMessageChars, pair.Get(), device.c_str(), named ? detail.c_str() : "");
}

std::string ProbeBusyText(const std::string& device) {
  return FormatText(kMessageChars,
                    LangText("\"%s\" is in use by the system (it cannot be opened for "
                             "itself alone).",
                             "\"%s\" wird vom System benutzt (es lässt sich nicht allein "
                             "öffnen)."),
                    device.c_str());
}

std::string ProbeOpenFailedText(const std::string& device, const std::string& reason) {
  return FormatText(kMessageChars,
                    LangText("Can't open \"%s\": %s.", "\"%s\" lässt sich nicht öffnen: %s."),
                    device.c_str(), reason.c_str());
}

std::string ProbeTooSmallText(const std::string& device) {
  return FormatText(kMessageChars,
                    LangText("\"%s\" is smaller than 1 MiB; there is nothing to probe.",
                             "\"%s\" ist kleiner als 1 MiB; da gibt es nichts zu prüfen."),
                    device.c_str());
}

std::string BackupExistsText(const std::string& backup) {
  return FormatText(kMessageChars,
                    LangText("The backup file \"%s\" already exists: an earlier probe may "
                             "not have finished. Put its data back first with: kalvex-cli "
                             "probe --restore \"%s\"",
                             "Die Sicherungsdatei \"%s\" gibt es schon: eine frühere Probe "
                             "ist womöglich nicht fertig geworden. Bitte zuerst ihre Daten "
                             "zurückschreiben: kalvex-cli probe --restore \"%s\""),
                    backup.c_str(), backup.c_str());
}

std::string BackupOnDeviceText(const std::string& backup, const std::string& device) {
  return FormatText(kMessageChars,
                    LangText("The backup file \"%s\" would lie on %s itself; choose a "
                             "folder on another device with --backup.",
                             "Die Sicherungsdatei \"%s\" läge auf %s selbst; bitte mit "
                             "--backup einen Ordner auf einem anderen Gerät wählen."),
                    backup.c_str(), device.c_str());
}

std::string BackupCreateFailedText(const std::string& backup, const std::string& reason) {
  return FormatText(kMessageChars,
                    LangText("Can't create the backup file \"%s\": %s.",
                             "Die Sicherungsdatei \"%s\" kann nicht angelegt werden: %s."),
                    backup.c_str(), reason.c_str());
}

std::string ProbeDeviceText(const std::string& device, const std::string& model,
                            const std::string& size, uint64_t bytes, bool usb) {
  return FormatText(kMessageChars,
                    LangText("%s: %s, %s (%llu bytes), %s", "%s: %s, %s (%llu Byte), %s"),
                    device.c_str(),
                    model.empty() ? LangText("no model name", "ohne Modellnamen") : model.c_str(),
                    size.c_str(), Ull(bytes),
                    usb ? LangText("USB", "USB") : LangText("not on USB", "nicht an USB"));
}

std::string ProbePlanText(const std::string& backup) {
  return FormatText(kMessageChars,
                    LangText("The probe overwrites small pieces spread over the whole device "
                             "and puts them back at the end. Their content is saved in \"%s\" "
                             "first.",
                             "Die Probe überschreibt kleine Stücke, über das ganze Gerät "
                             "verteilt, und schreibt sie am Ende zurück. Ihr Inhalt wird vorher "
                             "in \"%s\" gesichert."),
                    backup.c_str());
}

std::string ProbeQuestionText() {
  return LangText("Type yes to probe this device: ", "Zum Prüfen dieses Geräts yes eingeben: ");
}

std::string ProbeNotConfirmedText() {
  return LangText("Nothing was written. Give --yes to probe without being asked.",
                  "Nichts wurde geschrieben. Mit --yes wird ohne Rückfrage geprüft.");
}

std::string ProbingText() {
  return LangText("Probing ...", "Prüfe ...");
}

std::string ProbeClaimedText(const std::string& size, uint64_t bytes) {
  return FormatText(999, LangText("Claimed size:   %s (%llu bytes)",
                                  "Angegebene Größe:  %s (%llu Byte)"),
                    size.c_str(), Ull(bytes));
}

std::string ProbeIntactText(const std::string& size, uint64_t bytes, const std::string& step) {
  return FormatText(999, LangText("Real capacity:  %s (%llu bytes), to within %s",
                                  "Echte Kapazität:   %s (%llu Byte), auf %s genau"),
                    size.c_str(), Ull(bytes), step.c_str());
}

std::string ProbeFaultText(const std::string& fault) {
  if (fault == "wrap")
    return LangText("Beyond it:      addresses wrap: data written there lands lower down and "
                    "overwrites what is stored there",
                    "Dahinter:          Adressen laufen um: dort Geschriebenes landet weiter "
                    "vorne und überschreibt, was dort steht");
  if (fault == "drop")
    return LangText("Beyond it:      data is lost: it reads back as zeros, 0xFF or garbage",
                    "Dahinter:          Daten gehen verloren: zurück kommen Nullen, 0xFF oder "
                    "Datenmüll");
  if (fault == "fail")
    return LangText("Beyond it:      reads or writes fail with I/O errors",
                    "Dahinter:          Lesen oder Schreiben scheitert mit E/A-Fehlern");
  return LangText("Beyond it:      nothing: the whole claimed size keeps its data",
                  "Dahinter:          nichts: die ganze angegebene Größe behält ihre Daten");
}

std::string ProbeVerdictText(const std::string& verdict) {
  static constexpr TextPair kVerdicts[] = {
      {"Verdict:        genuine", "Ergebnis:          echt"},
      {"Verdict:        FAKE CAPACITY", "Ergebnis:          GEFÄLSCHTE KAPAZITÄT"},
      {"Verdict:        FAILING", "Ergebnis:          DEFEKT"},
      {"Verdict:        inconclusive", "Ergebnis:          nicht eindeutig"},
  };
  const int index = verdict == "genuine"         ? 0
                    : verdict == "fake_capacity" ? 1
                    : verdict == "failing"       ? 2
                                                 : 3;
  return kVerdicts[index].Get();
}

std::string ProbeVolumeText(uint64_t positions, uint64_t rounds, uint64_t written_mib,
                            uint64_t read_mib) {
  return FormatText(999,
                    LangText("Probed %llu positions in %llu rounds; %llu MiB written, %llu MiB "
                             "read (backup and putting back included).",
                             "%llu Stellen in %llu Runden geprüft; %llu MiB geschrieben, %llu "
                             "MiB gelesen (Sicherung und Zurückschreiben eingerechnet)."),
                    Ull(positions), Ull(rounds), Ull(written_mib), Ull(read_mib));
}

std::string ProbeAbortedText() {
  return LangText("Probe aborted.", "Probe abgebrochen.");
}

std::string ProbeDeviceLostText(const std::string& reason) {
  return FormatText(kMessageChars,
                    LangText("The device stopped answering during the probe (%s).",
                             "Das Gerät hat während der Probe aufgehört zu antworten (%s)."),
                    reason.c_str());
}

std::string BackupWriteFailedText(const std::string& backup, const std::string& reason) {
  return FormatText(kMessageChars,
                    LangText("Can't write the backup file \"%s\" (%s); the probe stopped "
                             "before overwriting anything more.",
                             "Die Sicherungsdatei \"%s\" lässt sich nicht schreiben (%s); die "
                             "Probe hat angehalten, bevor sie mehr überschrieb."),
                    backup.c_str(), reason.c_str());
}

std::string RestoringText() {
  return LangText("Putting the original data back ...",
                  "Schreibe die ursprünglichen Daten zurück ...");
}

std::string RestoredText(uint64_t ranges, uint64_t mib) {
  return FormatText(999,
                    LangText("The original data is back: %llu pieces (%llu MiB) written and "
                             "read back as saved; the backup file was removed.",
                             "Die ursprünglichen Daten sind zurück: %llu Stücke (%llu MiB) "
                             "geschrieben und wie gesichert zurückgelesen; die Sicherungsdatei "
                             "wurde entfernt."),
                    Ull(ranges), Ull(mib));
}

std::string RestoreFailedText(uint64_t bad, uint64_t ranges, const std::string& backup) {
  return FormatText(kMessageChars,
                    LangText("%llu of %llu saved pieces could not be put back. The backup is "
                             "kept in \"%s\"; once the device answers again, run: kalvex-cli "
                             "probe --restore \"%s\"",
                             "%llu von %llu gesicherten Stücken ließen sich nicht zurückschreiben. "
                             "Die Sicherung bleibt in \"%s\"; sobald das Gerät wieder antwortet: "
                             "kalvex-cli probe --restore \"%s\""),
                    Ull(bad), Ull(ranges), backup.c_str(), backup.c_str());
}

std::string BackupUnusableText(const std::string& backup, const std::string& what) {
  return FormatText(kMessageChars,
                    LangText("The backup file \"%s\" cannot be used: %s.",
                             "Die Sicherungsdatei \"%s\" ist nicht verwendbar: %s."),
                    backup.c_str(), what.c_str());
}

std::string RestoreWrongDeviceText(const std::string& device, uint64_t bytes,
                                   const std::string& model) {
  return FormatText(kMessageChars,
                    LangText("\"%s\" is not the device this backup belongs to (expected %llu "
                             "bytes, model \"%s\"); nothing was written.",
                             "\"%s\" ist nicht das Gerät, zu dem diese Sicherung gehört "
                             "(erwartet: %llu Byte, Modell \"%s\"); nichts wurde geschrieben."),
                    device.c_str(), Ull(bytes), model.c_str());
}

std::string RestoreOtherPathText(const std::string& named, const std::string& device) {
  return FormatText(kMessageChars,
                    LangText("The backup names %s; writing it to %s, which has the same size "
                             "and model.",
                             "Die Sicherung nennt %s; sie wird auf %s geschrieben, das dieselbe "
                             "Größe und dasselbe Modell hat."),
                    named.c_str(), device.c_str());
}

std::string NothingToRestoreText() {
  return LangText("The backup holds no saved pieces; there is nothing to put back.",
                  "Die Sicherung enthält keine gesicherten Stücke; es gibt nichts "
                  "zurückzuschreiben.");
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
