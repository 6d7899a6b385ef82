#pragma once

#include "Catalogue.h"

class DataBase;
class Form;
class UserDialogs;

// "保 存 内 容": stores the boxes as a new record of the form view's mode when they
// changed since the last save, and tells the user either way.
void SaveContents(Form& form, Mode mode, DataBase& db, UserDialogs& dialogs);
