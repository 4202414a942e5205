#pragma once

#include <QIcon>

// The small pictures beside the stage menu's commands, drawn in code so that
// they stay crisp and need no image plugin.
namespace stage::menuicons {

QIcon add();               // a green plus
QIcon locate();            // a target with a pointer
QIcon settings();          // a gear wheel
QIcon colours();           // a painter's palette
QIcon pickColour();        // a colour swatch with a dropper
QIcon library();           // an open book
QIcon surnames();          // a seal stamp
QIcon threeCharacter();    // a scroll
QIcon thousandCharacter(); // a bound volume
QIcon review();            // a card with a returning arrow
QIcon record();            // a small bar chart
QIcon help();              // a question mark in a blue disc
QIcon close();             // a red power symbol

} // namespace stage::menuicons
