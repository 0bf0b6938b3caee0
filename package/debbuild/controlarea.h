#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

struct AccessRules;
struct ControlParagraph;
struct StagedData;

// The control area of a staged package, made what dpkg accepts whatever the
// access list recorded, with md5sums and Installed-Size true to the staged
// data. Works on the staging copy only.

// True for the maintainer scripts dpkg runs: preinst, postinst, prerm,
// postrm and config.
bool isMaintainerScript(const QString &name);

// The mode a file directly in DEBIAN gets: 0755 for a maintainer script,
// 0644 for every other file.
unsigned controlFileMode(const QString &name);

// One note per access line that the control area's modes override: a line
// for DEBIAN itself or for a file directly in it whose mode differs.
QStringList overriddenAccessLines(const AccessRules &rules);

// True if a script holds nothing but white space.
bool isBlankScript(const QByteArray &content);

// Prepares staging + "/DEBIAN" once the staging pass made it: DEBIAN 0755,
// maintainer scripts 0755 and other files 0644, blank maintainer scripts
// left out, md5sums and Installed-Size from what the pass learnt of the
// staged data. The staged control file, as written, goes parsed to
// *control. What the user should know comes back as warnings.
Result prepareControlArea(const QString &staging, const AccessRules &rules, const StagedData &staged,
                          ControlParagraph *control);
