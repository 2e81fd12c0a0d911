# The message tables installers carry, in every built-in language: plain
# C++ that the builder packs and that the engine's page tests show.
set(PALISADE_MESSAGE_SOURCES
  default_messages.cpp
  messages.cpp
  text_encoding.cpp
  translations.cpp
  translations/chinese_simplified.cpp
  translations/dutch.cpp
  translations/french.cpp
  translations/german.cpp
  translations/italian.cpp
  translations/japanese.cpp
  translations/polish.cpp
  translations/portuguese_brazil.cpp
  translations/russian.cpp
  translations/spanish.cpp
)
list(TRANSFORM PALISADE_MESSAGE_SOURCES PREPEND "${CMAKE_SOURCE_DIR}/builder/")
