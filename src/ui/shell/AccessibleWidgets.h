#pragma once

// How the program's controls present themselves to a screen reader where
// Qt's own presentation misleads:
// - a combo box is named by its caption (the name given to it, or the label
//   whose buddy it is) and offers its current text as its value and its text,
//   where Qt on Linux names it by its current text, so that "上限" was heard
//   as "160";
// - a group box is named by its own title, where Qt names a group inside
//   another group by the outer one's title;
// - a label that shows nothing is silent, where Qt names it by the caption
//   of what it labels or the title of its group, so that an empty value was
//   heard as its caption;
// - a label that is the buddy of a caption label, a value, is heard after
//   that caption, and a label offers what it shows as its text;
// - an edit box taking the focus is told focused before its caret and
//   selection, where Qt tells them first and a reader then says nothing of
//   the box;
// - a window made of a plain widget (a progress window, the splash) is a
//   window, where Qt presents it as a filler.
// Installed once for the whole program; windows need nothing of their own.
void installAccessibleWidgets();
