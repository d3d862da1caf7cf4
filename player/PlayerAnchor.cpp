namespace kavrien_player { int anchor = 0; }
