# Gives the enumerations of a widl-made header the fixed 32-bit underlying
# type their type library states (enumerations are 4 bytes in automation).
# widl writes `typedef enum NAME {`, and a C++ enumeration without a fixed
# type only holds the values its bits cover: 7 in Font_JustifyType, or -1
# in Object_Id, would be undefined behaviour in a client, though the
# object stores and returns such values. Called with -DIN=... -DOUT=...
file(READ "${IN}" text)
string(REGEX REPLACE "\n(typedef )?enum ([A-Za-z_][A-Za-z0-9_]*) {\n" "\n\\1enum \\2 : LONG {\n" text "${text}")
file(WRITE "${OUT}" "${text}")
