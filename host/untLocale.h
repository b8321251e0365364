#pragma once
// The program's locale: Chinese whatever the machine's locale, so that dates,
// numbers and the platform's own dialog texts ("确定", "取消") read the same
// in every box, from the first start-up message on.

#include <QString>

// Installs the Chinese translation of the platform's standard dialogs and
// buttons once per process: from beside the program, one folder up, else from
// where the platform keeps its translations. False when none was found.
bool LoadPlatformTranslation(const QString& AProgramFolder);
// Makes Chinese (China) the default locale of every date, number and dialog
// of the process and installs the platform's translation.
void UseProgramLocale(const QString& AProgramFolder);
