#pragma once

#include "common/result.h"
#include "package/debbuild/compression.h"

#include <QString>
#include <QStringList>

// The fields of a project profile, under the keys they are stored with.
struct Profile
{
    QString projectDir; // ProjectDir
    QString py; // Py
    QString outputC; // OutputC
    QString binaryDir; // BinaryDir
    QString binary; // Binary
    int source = 0; // Source: the runtime's position in the list
    QString architecture; // Architecture: what the program is built for; empty: this machine's
    QString projectDirDeb; // ProjectDirDeb
    QString debDir; // DebDir
    bool lint = true; // Lint: lintian after the package build
    bool checkReproducible = false; // CheckReproducible: the package built twice and compared
    bool checkReproducibleExe = false; // CheckReproducibleExe: the executable built twice and compared
    bool bytecode = false; // Bytecode: the whole program as bytecode
    QString optimise = QStringLiteral("size"); // Optimise: size or speed
    QString include; // Include: modules added by name
    QString exclude; // Exclude: modules left out by name
    QString compression = Compression().name; // Compression: of the package's data
    int compressionLevel = Compression().level; // CompressionLevel: -1 for the compressor's default
    QString repoDir; // RepoDir: the repository the package build publishes to
    bool repo = false; // Repo: publish each new package there
    QString signingKey; // SigningKey: the key that signs the repository
};

// The profile names in the store, in the order it lists its groups.
QStringList profileNames();

// Stores profile under name, replacing one of the same name. Names the INI
// store cannot keep apart are refused with the reason.
Result saveProfile(const QString &name, const Profile &profile);

// The profile stored under name; a missing profile or key reads as the
// field's default (empty text, position 0, xz at its default level, no
// bytecode), and so does a hand-edited number that is no number; a missing
// Lint reads as on when lintian is installed.
Profile loadProfile(const QString &name);

// Removes the profile name with all its keys; the empty name is refused,
// since it would name the whole store.
Result removeProfile(const QString &name);
