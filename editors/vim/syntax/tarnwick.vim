" Vim syntax file
" Language:	Tarnwick game source
" Filenames:	*.adv
" Written by make_editor_syntax from the compiler's word tables: change
" tools/make_editor_syntax.cpp, not this file.

if exists("b:current_syntax")
  finish
endif
let s:cpo_save = &cpo
set cpo&vim

" A section runs from its header to the next header: read from the top.
syntax sync fromstart

" Comments and includes, in every section and before the first.
syntax match tarnwickComment /|.*$/ contains=@Spell
syntax match tarnwickInclude /^@[^|]*/

" A scrambled source (the marker on its first line) is ROT13 after it:
" only the marker, comments and includes are coloured.
syntax match tarnwickScrambled /^\%1l\c\%x15crypt\%x15.*$/
if getline(1) !~? '^\%x15crypt\%x15'

" A line starting with '[' that is no header.
syntax match tarnwickBadHeader /^\[[^|]*/
syntax cluster tarnwickAnyLine contains=tarnwickComment,tarnwickInclude,tarnwickBadHeader

" Texts: a variable's value between percent signs, %% and the line break \.
syntax match tarnwickVariableRef /%[^%|]\+%/ contained
syntax match tarnwickTextSpecial /%%\|\\/ contained
syntax cluster tarnwickText contains=tarnwickVariableRef,tarnwickTextSpecial

" The #N, that starts a numbered line.
syntax match tarnwickEntry /^#[^,|]*,\=/ contained
" Number fields of locations and objects (flags, exits, places).
syntax match tarnwickFieldNumber /\%(^#.*\)\@<=,\s*\zs[-+]\=\d\+\ze\s*\%(,\||\|$\)/ contained

" [System] keys.
syntax match tarnwickSystemKey /^\c\%(Title=\|StartLocation=\|MaxItems=\|Boolean=\|Prompt=\|ShowExits=\|ImagePath=\|StatusLine=\|BgColor=\|FgColor=\|CharSet=\)/ contained

" Rule lines: a line of conditions after its leading word; any other line
" holds actions, after "then" or "do" or none. Block lines stand alone.
syntax region tarnwickConditionLine matchgroup=tarnwickLeading start=/^\s*\c\%(while \|if \|or \|and \)/ end=/$/ keepend oneline contained contains=tarnwickCondition,tarnwickNot,tarnwickNumber,tarnwickComment
syntax match tarnwickLeading /^\s*\c\%(then \|do \)/ contained
syntax match tarnwickBlock /^\s*\c\%(begin\|then begin\|do begin\|fbegin\|then fbegin\|do fbegin\|sbegin\|then sbegin\|do sbegin\|end\)\ze\s*\%(|\|$\)/ contained
syntax match tarnwickBlock /^\s*\C\%({\|then {\|do {\|{\/\|then {\/\|do {\/\|{+\|then {+\|do {+\|}\)\ze\s*\%(|\|$\)/ contained
syntax match tarnwickCondition /\c\%(^\|\s\)\@<=\%(begin\|verb\|noun\|noun2\|noun3\|anynoun\|move\|at\|exist\|isin\|carried\|worn\|owned\|here\|present\|dark\|eq\|gt\|lt\|free\|random\|continued\)\%( \|\s*|\|\s*$\)\@=/ contained
syntax match tarnwickAction /\c\%(^\|\s\)\@<=\%(create\|destroy\|get\|wear\|put\|moveall\|swap\|go\|at\|exit\|subst\|light\|message\|sysmsg\|show\|pause\|quit\|set\|reset\|add\|sub\|mchoiche\|bchoiche\|redesc\|cls\|halt\|continue\|break\)\%( \|\s*|\|\s*$\)\@=/ contained
syntax match tarnwickNot /\c\%(^\|\s\)\@<=not\%( \|\s*|\|\s*$\)\@=/ contained
syntax match tarnwickNumber /\%(^\|\s\)\@<=[-+]\=\d\+/ contained
syntax cluster tarnwickRule contains=tarnwickConditionLine,tarnwickLeading,tarnwickBlock,tarnwickAction,tarnwickNot,tarnwickNumber

" Sections, one region per header.
syntax region tarnwickSystemSection matchgroup=tarnwickHeader start=/^\c\[System\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,tarnwickSystemKey,@tarnwickText
syntax region tarnwickSysmsgSection matchgroup=tarnwickHeader start=/^\c\[Sysmsg\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,tarnwickEntry,@tarnwickText
syntax region tarnwickDirectionsSection matchgroup=tarnwickHeader start=/^\c\[Directions\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,tarnwickEntry,@tarnwickText
syntax region tarnwickIntroSection matchgroup=tarnwickHeader start=/^\c\[Intro\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,tarnwickEntry,@tarnwickText
syntax region tarnwickShowsSection matchgroup=tarnwickHeader start=/^\c\[Shows\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,tarnwickEntry,@tarnwickText
syntax region tarnwickLocationsSection matchgroup=tarnwickHeader start=/^\c\[Locations\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,tarnwickEntry,tarnwickFieldNumber,@tarnwickText
syntax region tarnwickObjectsSection matchgroup=tarnwickHeader start=/^\c\[Objects\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,tarnwickEntry,tarnwickFieldNumber,@tarnwickText
syntax region tarnwickMessagesSection matchgroup=tarnwickHeader start=/^\c\[Messages\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,tarnwickEntry,@tarnwickText
syntax region tarnwickVerbsSection matchgroup=tarnwickHeader start=/^\c\[Verbs\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,tarnwickEntry,@tarnwickText
syntax region tarnwickNounsSection matchgroup=tarnwickHeader start=/^\c\[Nouns\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,tarnwickEntry,@tarnwickText
syntax region tarnwickVarsSection matchgroup=tarnwickHeader start=/^\c\[Vars\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine
syntax region tarnwickEventsSection matchgroup=tarnwickHeader start=/^\c\[Events\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,@tarnwickRule
syntax region tarnwickActionsSection matchgroup=tarnwickHeader start=/^\c\[Actions\]/ end=/^\ze\c\%(\[System\]\|\[Sysmsg\]\|\[Directions\]\|\[Intro\]\|\[Shows\]\|\[Locations\]\|\[Objects\]\|\[Messages\]\|\[Verbs\]\|\[Nouns\]\|\[Vars\]\|\[Events\]\|\[Actions\]\)/ contains=@tarnwickAnyLine,@tarnwickRule

endif

highlight default link tarnwickComment Comment
highlight default link tarnwickInclude Include
highlight default link tarnwickBadHeader Error
highlight default link tarnwickScrambled PreProc
highlight default link tarnwickHeader Title
highlight default link tarnwickSystemKey Keyword
highlight default link tarnwickEntry Label
highlight default link tarnwickFieldNumber Number
highlight default link tarnwickVariableRef Identifier
highlight default link tarnwickTextSpecial SpecialChar
highlight default link tarnwickLeading Conditional
highlight default link tarnwickBlock Structure
highlight default link tarnwickCondition Function
highlight default link tarnwickAction Statement
highlight default link tarnwickNot Operator
highlight default link tarnwickNumber Number

let b:current_syntax = "tarnwick"
let &cpo = s:cpo_save
unlet s:cpo_save
