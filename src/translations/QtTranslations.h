#pragma once

// Qt's own texts in Japanese where the translations are installed: above all
// the serial port's reasons for a failure, which the programs pass on to the
// user, and the edit menu of the window's combo boxes. Call once the
// application object exists; the translations live as long as it does.
void installJapaneseQtTranslations();
