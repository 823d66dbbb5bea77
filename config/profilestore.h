#pragma once
// The profile file (config.xml): reads one model's device profile and application
// profiles into the records, and writes edited records back into the same document.
//
// Document shape: a root element (tag not checked) with a "version" attribute and one
// child per model whose tag is the model key. Inside a model element the children are
// taken by position: device facts, common settings, the common profile, the
// application list. See the reader in profilestore.cpp for each element.
//
// Saving rewrites the model's elements (their lines in the text, or in the parsed
// document) and replaces the file through a temporary file and a rename, so a crash or
// a full disk leaves either the old file or the new one, never a truncated one. A file that does not parse is never
// written.

#include "config/appconfigmap.h"
#include "config/profilerecords.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// Result codes of loading and saving. 101 to 103 are the codes of the version reader.
enum ProfileCode {
    ProfileOk = 0,
    ProfileOpenFailed = 101,
    ProfileParseFailed = 102,   // also: over the size or nesting limit, or a DTD
    ProfileNullDocument = 103,
    ProfileModelMissing = 106,  // no model element with the key
    ProfileBadValue = 107,      // a number that is not one or does not fit its field
    ProfileBadRecord = 108,     // the target record already owns an application list
    ProfileWriteFailed = 109,   // the new file could not be written; the old one stays
    ProfileImportIncomplete = 110, // a settings file lacks the profile of a model the defaults hold
};

// One tablet's records for SaveAll.
struct ProfileEntry {
    QString key;
    const TabletXMLData *profile = nullptr;
    const AppConfigMap *apps = nullptr;
};

class ProfileStore {
public:
    explicit ProfileStore(QString path = QString());

    const QString &path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }

    // Reads the model key's profile into *profile and its application profiles into a
    // new list owned by *profile (Apps must be null on entry), indexed in *apps. Fields
    // the file leaves out keep their values in *profile. On failure the reason is
    // logged, *code set, and *profile must be treated as partly filled: its Apps stays
    // null and *apps empty.
    bool LoadConfig(const QString &key, TabletXMLData *profile, AppConfigMap *apps,
                    int *code = nullptr) const;

    // Writes one model's records into the file.
    bool SaveConfig(const QString &key, const TabletXMLData &profile, const AppConfigMap &apps,
                    int *code = nullptr) const;

    // Writes several tablets' records with one parse and one replacement of the file. A
    // model missing from the file is logged and skipped; the others are still written.
    // True only when every entry was written.
    bool SaveAll(const std::vector<ProfileEntry> &entries, int *code = nullptr) const;

private:
    QString m_path;
};

// The same work on a document in memory (the file functions use these; the fuzzer and
// the tests call them directly).
bool LoadConfigFromData(const QByteArray &data, const QString &key, TabletXMLData *profile,
                        AppConfigMap *apps, int *code = nullptr);

// The keys whose model element the document lacks or whose profile does not read (one
// parse for all of them).
QStringList UnreadableModels(const QByteArray &data, const QStringList &keys);

// Rewrites the entries' model elements in *document. *written counts the entries whose
// model element was found. A text in the writer's own form (UTF-8, each model on lines
// of its own) keeps everything but those elements' lines; any other text takes
// SaveWholeDocument's way.
bool SaveConfigToData(QByteArray *document, const std::vector<ProfileEntry> &entries,
                      int *code = nullptr, int *written = nullptr);
// The whole document parsed, rewritten and serialised again with an indent of 2 (the
// attributes in the order the text shows them): what the text rewrite is held to.
bool SaveWholeDocument(QByteArray *document, const std::vector<ProfileEntry> &entries,
                       int *code = nullptr, int *written = nullptr);

// The keypad profile document (root "KPD05App") that a tablet with an on-board profile
// store takes and gives: one application profile with its four key groups of eleven
// keys and its first ring. Serialised as UTF-8 with an indent of 1.
QByteArray WriteKeypadDocument(const AppConfigNode &app);
// Replaces *app's settings with the document's (its list link stays). On a parse error
// "parse file failed at line" is logged with the place; *app is then unchanged.
bool ReadKeypadDocument(const QByteArray &data, AppConfigNode *app);
