@echo off
rem The benchmark of the seven programs on this machine, from an elevated
rem prompt: its report, performance.md, goes into a scratch directory under
rem %TEMP%, whose path it prints. Arguments: [programs folder] [bench.exe
rem options, e.g. --runs 50 --figures 135].
"%~dp0testkit.exe" --bench %*
exit /b %errorlevel%
