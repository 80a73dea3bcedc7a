// The engine's own texts, English first and German second. Formats take the
// arguments named beside them, in order.
#pragma once

#include "engine/language.h"

namespace kalvex {

struct TextPair {
  const char* english;
  const char* german;
  const char* Get() const { return LangText(english, german); }
};

namespace msg {

// SetSize: size, capacity.
constexpr TextPair kOnlyPartTested = {"Warning: Only %llu of %llu MByte tested.\r\n",
                                      "Achtung: Nur %llu von %llu MByte getestet.\r\n"};

// Write pass: file name (and the block's offset within its file).
constexpr TextPair kCreateError = {"Error creating file '%s'.",
                                   "Fehler beim Anlegen der Datei '%s'."};
constexpr TextPair kWriteError = {
    "Error writing file '%s', offset 0x%llx.\r\n"
    "It is still possible to verify the test data written up to this point.",
    "Fehler beim Schreiben der Datei '%s', Offset 0x%llx.\r\n"
    "Bis hierher geschriebene Testdaten können trotzdem geprüft werden."};
constexpr TextPair kFlushError = {"Error finalizing file '%s'.",
                                  "Fehler beim Finalisieren der Datei '%s'."};
constexpr TextPair kCloseError = {"Error closing file '%s'.",
                                  "Fehler beim Schließen der Datei '%s'."};
// Planned MByte, written MByte; both printed as signed numbers, so an
// unresolved size of all ones reads -1.
constexpr TextPair kMediumFull = {
    "Media has filled up earlier than expected!\r\n"
    "In the beginning there were %lld MByte free, but only\r\n"
    "%lld MByte could be written.\r\n",
    "Datenträger schneller als erwartet voll!\r\n"
    "Zu Beginn waren %lld MByte frei, aber es konnten nur\r\n"
    "%lld MByte geschrieben werden.\r\n"};

// Verify pass.
constexpr TextPair kOpenError = {"Error opening file '%s'.",
                                 "Fehler beim Öffnen der Datei '%s'."};
constexpr TextPair kReadError = {"Error reading file '%s', offset 0x%llx.",
                                 "Fehler beim Lesen der Datei '%s', Offset 0x%llx."};
// File name, block size.
constexpr TextPair kPartialBlock = {
    "Error: Size of file '%s' is not a multiple of %llu bytes.\r\n"
    "There may be errors in the file system.\r\n",
    "Fehler: Größe der Datei '%s' ist kein Vielfaches von %llu Byte.\r\n"
    "Möglicherweise liegen Fehler im Dateisystem vor.\r\n"};
// Expected MByte, found MByte.
constexpr TextPair kAmountMismatch = {
    "Something is wrong here: %llu MByte of test data expected,\r\n"
    "but only %llu found!\r\n"
    "There may be errors in the file system, or\r\n"
    "another process has deleted files in the meantime.\r\n",
    "Hier ist was faul: %llu MByte Testdaten erwartet,\r\n"
    "aber nur %llu gefunden!\r\n"
    "Möglicherweise liegen Fehler im Dateisystem vor oder\r\n"
    "ein anderer Prozess hat zwischenzeitlich Dateien gelöscht.\r\n"};

// Either pass: the target folder. The test file names would not fit the
// longest path the engine forms.
constexpr TextPair kPathTooLong = {
    "Error: The path of the target folder '%s' is too long for the test files.\r\n",
    "Fehler: Der Pfad des Zielordners '%s' ist für die Testdateien zu lang.\r\n"};
// Either pass: the target folder. Before each new test file the run makes
// sure the folder it started in is still the one at the target's path.
constexpr TextPair kMediumGone = {
    "Error: The target folder '%s' is no longer available.\r\n"
    "The medium may have been removed or unmounted.\r\n",
    "Fehler: Der Zielordner '%s' ist nicht mehr verfügbar.\r\n"
    "Möglicherweise wurde der Datenträger entfernt oder ausgehängt.\r\n"};
// Start of a run: the target folder.
constexpr TextPair kTargetMissing = {"Error: The target folder '%s' does not exist.\r\n",
                                     "Fehler: Der Zielordner '%s' existiert nicht.\r\n"};
constexpr TextPair kTargetOpenError = {"Error opening the target folder '%s'.",
                                       "Fehler beim Öffnen des Zielordners '%s'."};
// A run whose data volume came to 0 MByte: nothing would be tested, which
// must never read as a pass.
constexpr TextPair kNothingToTest = {
    "Error: Nothing to test, the data volume is 0 MByte.\r\n",
    "Fehler: Nichts zu testen, die Datenmenge ist 0 MByte.\r\n"};
// Removing the test files a run left: the file.
constexpr TextPair kRemoveError = {"Error removing file '%s'.",
                                   "Fehler beim Entfernen der Datei '%s'."};
// No worker thread could be started.
constexpr TextPair kNoThread = {"Error: The test could not be started.\r\n",
                                "Fehler: Der Test konnte nicht gestartet werden.\r\n"};
// Either pass: no memory for the block buffer at start-up.
constexpr TextPair kNoBuffer = {
    "Error: Not enough memory for the 1 MByte block buffer.\r\n",
    "Fehler: Nicht genügend Speicher für den Blockpuffer von 1 MByte.\r\n"};

// Appended to a message by RaiseSystemError: message, system text, code.
constexpr const char* kSystemErrorForm = "%s\r\n(%s Code %u)\r\n";

}  // namespace msg
}  // namespace kalvex
