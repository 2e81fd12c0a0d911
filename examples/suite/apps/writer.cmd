@echo off
rem Palisade Writer: opens a document in WordPad.
start wordpad %*
