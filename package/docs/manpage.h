#pragma once

#include "package/docs/docsfields.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

// Manual pages for the programs a package ships, so that every program has
// one, as Debian wants.

// A program below usr/bin, usr/games or usr/sbin and the page it gets.
struct ProgramPage
{
    QString program; // the file's name
    QString executable; // its path below the work directory
    QString page; // usr/share/man/manN/<program>.N.gz
    int section = 1; // 1 for usr/bin, 6 for usr/games, 8 for usr/sbin
};

// The programs of workDir (regular files and links in usr/bin, usr/games and
// usr/sbin, sorted by name) that have no manual page of another name or
// section; a program whose own page exists is listed, so that the step can
// ask before replacing it. Names that are not UTF-8 are left out.
QList<ProgramPage> programPages(const QString &workDir);

// text as a roff text line: backslashes and hyphens escaped, a leading
// "." or "'" made plain, terminal escape sequences and other control
// characters (tabs aside) removed.
QString roffText(const QString &text);

// The page of program in section: NAME (the synopsis), SYNOPSIS,
// DESCRIPTION (the extended description, its empty lines starting new
// paragraphs), OPTIONS when help is not empty (as it stands, preformatted)
// and AUTHOR (the Maintainer), dated date.
QByteArray manPageText(const ProgramPage &program, const DocsFields &fields, const QString &help, const QDate &date);

// What the executable prints for --help when it answers within 2 s with
// exit code 0, run in a private directory that is also its HOME, with no
// other environment and standard input from /dev/null; the empty text when
// it does not answer, fails or prints nothing. It is ended, and everything
// it started, when the time is up.
QString helpOutput(const QString &executable);
