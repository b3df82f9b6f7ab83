# Copies a text file with Windows line endings, for the Windows zip:
#   cmake -DIN=file.txt -DOUT=file-crlf.txt -P crlf.cmake
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
