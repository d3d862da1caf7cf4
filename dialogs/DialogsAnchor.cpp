namespace kavrien_dialogs { int anchor = 0; }
