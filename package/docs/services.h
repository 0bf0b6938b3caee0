#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A program that runs as a service: its systemd unit, and the lines of the
// maintainer scripts that enable, start, stop and purge it, equivalent to
// what dh_installsystemd generates (enabled and started on installation,
// restarted after an upgrade, stopped on removal, forgotten on purge).

// "usr/lib/systemd/system", where a package's system units live below the
// work directory (lib/systemd/system is read too, as older packages use it).
QString serviceUnitSubdirectory();

// Where a unit is saved: folder + the typed name + ".service", or else
// folder + the selected entry; the empty text when there is neither.
QString serviceUnitPath(const QString &folder, const QString &typedName, const QString &selected);

// A service unit for the program /usr/bin/K, lintian clean: documented,
// hardened, wanted by multi-user.target.
QString serviceUnitTemplate(const QString &k);

// The units the scripts handle in the marked blocks: enableUnits (those
// with an [Install] section) are enabled on installation and forgotten on
// purge, startUnits started, restarted after an upgrade and stopped on
// removal. Each block begins and ends with a marker line; an empty text
// for a script that needs none.
struct ServiceBlocks
{
    QByteArray postinst;
    QByteArray prerm;
    QByteArray postrm;
};
ServiceBlocks serviceBlocks(const QStringList &enableUnits, const QStringList &startUnits);

// script with its marked block replaced by block (removed when block is
// empty), or with block added before its final "exit 0" (at its end when
// it has none); a blank script becomes a whole "#!/bin/sh" script.
QByteArray withServiceBlock(const QByteArray &script, const QByteArray &block);

// The entry of Depends the blocks need: they call deb-systemd-helper and
// deb-systemd-invoke.
QByteArray serviceHelpersDependency();

// control with entry added to its Depends field (a new Depends line before
// Description when it has none), unless what it declares already implies
// entry; every other byte stays.
QByteArray withDependency(const QByteArray &control, const QByteArray &entry);

// The system units of workDir (templates, "NAME@.service", aside) that no
// line of DEBIAN/postinst handles with deb-systemd-helper or
// deb-systemd-invoke.
QStringList unhandledServiceUnits(const QString &workDir);

// Writes the marked blocks into DEBIAN/postinst, prerm and postrm of
// workDir for every unit the scripts do not handle on their own, replacing
// earlier blocks, and adds what the blocks call to Depends. Nothing to do
// is no failure.
Result addServiceScripts(const QString &workDir);

// systemd-analyze verify on the unit (a file name in the unit directories
// of workDir), with workDir as the root it is installed to; its complaints
// are the failure. Success when systemd-analyze is not installed.
Result verifyServiceUnit(const QString &workDir, const QString &unit);

// What the package build warns of before it builds: units the scripts do
// not handle, and what systemd-analyze verify finds in each unit.
QStringList serviceWarnings(const QString &workDir);
