#pragma once
// Settings files: a ".pcfg" file is a byte copy of the user's profile file, written and
// read back whole. And the 29-byte chunks a profile document travels to a tablet in.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

// "Inkora_Config_yyyy-MM-dd.pcfg" in folder.
QString DefaultExportName(const QString &folder, const QDate &date);

// Copies the profile file to target. The copy goes to a temporary file beside target
// and replaces target only once it is complete, so a failed export leaves an existing
// target as it was. False (and a log line) when the source cannot be read or the target
// cannot be written.
bool ExportConfigFile(const QString &profileFile, const QString &target);

// Puts the chosen file in place of the user's profile file when its configuration
// version equals the default file's and it holds a readable profile for every model of
// the model tables that the default file holds. Before the replacement the user's file
// is copied to backupFile (when given). Returns 0 on success, else the version reader's
// code (101-105; logged as "GetConfigXMLFileVersion Error"), 110 with the models it
// lacks in *missing, or 109 when the backup or the copy failed. On any failure the
// user's file is unchanged.
int ImportConfigFile(const QString &defaultFile, const QString &chosen, const QString &profileFile,
                     QStringList *missing = nullptr, const QString &backupFile = QString());

// The chunks of a profile document sent to a tablet: bytes / 29 + 1 chunks of exactly
// 29 bytes, the last one padded with zero bytes (all zero when the size is a multiple).
constexpr int kProfileChunkBytes = 29;
QVector<QByteArray> ProfileChunks(const QByteArray &bytes);
// Percentage shown after chunk index i (0-based) of count chunks: i * 100 / (count - 1);
// with a single chunk, 100.
int ProfileChunkPercent(int index, int count);
