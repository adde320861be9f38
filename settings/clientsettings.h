#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

// The client's settings, read in layers; every deliverable reads and writes them here.
//   managed:       the administrator's keys (/etc/mervo-client/managed.ini), which win over
//                  both files below and cannot be changed from the client;
//   user:          this user's own choices ($XDG_CONFIG_HOME/Mervo/config.ini), read over
//                  the installation's file, but only where that file cannot be written;
//   installation:  config.ini in the program folder (the current directory).
// A writable program folder keeps one file, as it always did: choices are written into
// its config.ini. Otherwise (and always in a package's folder) they go to the user's file. A damaged file counts with every
// key line it still holds under its section.
// Keys are "Sys/Name"; a leading "/" is ignored.
class ClientSettings final
{
public:
    ClientSettings();
    ClientSettings(const QString &installationFile, const QString &userFile,
                   const QString &managedFile);

    // The standard places of the user's and the administrator's file. Tests move the
    // administrator's with MERVO_MANAGED_INI.
    static QString defaultUserFile();
    static QString defaultManagedFile();

    QVariant value(const QString &key, const QVariant &fallback = QVariant()) const;
    // A text setting: a value that Qt reads as a list (it has commas) joined again.
    QString text(const QString &key) const;
    bool isManaged(const QString &key) const;

    // Writes a choice where this user's choices live. False, with a log line, when the
    // key is managed or the file cannot be written.
    bool setValue(const QString &key, const QVariant &value);

    // The file setValue() writes to, and whether it can be written (checked, not tried).
    QString choicesFile() const;
    bool choicesWritable() const;
    // Whether choices go into the program folder's config.ini (a writable folder that no
    // package manager owns).
    bool writesInstallation() const;

    // Reads an INI file as Qt does, keeping every sound line of a damaged one: lines that
    // are no section, key or comment, are no UTF-8 or hold control characters, open a
    // quote they do not close or continue onto the next line are left out, so that they
    // cannot take the lines after them along.
    static QVariantMap readFile(const QString &path);

private:
    static QString normalized(const QString &key);

    QString installationFile;
    QString userFile;
    QString managedFile;
    bool installationWritable = false;
    QVariantMap installation;
    QVariantMap user;
    QVariantMap managed;
};
