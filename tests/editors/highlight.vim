" Checks the syntax groups Vim gives to words of a game source. Sourced with
" the source open; g:checks names a JSON list of [line start, word, Vim group,
" TextMate scope] (the first line that starts so, the first such word on it).
" Writes what failed to the file g:report and quits with an error status when
" anything did.
let s:failures = []
let s:name = expand('%:t')

if &filetype !=# 'tarnwick'
  call add(s:failures, s:name . ': file type "' . &filetype . '", not tarnwick')
endif

for [s:start, s:word, s:group, s:scope] in json_decode(join(readfile(g:checks), "\n"))
  let s:lnum = 0
  for s:n in range(1, line('$'))
    if strpart(getline(s:n), 0, len(s:start)) ==# s:start
      let s:lnum = s:n
      break
    endif
  endfor
  let s:col = s:lnum == 0 ? -1 : stridx(getline(s:lnum), s:word) + 1
  if s:col <= 0
    call add(s:failures, printf('%s: no line starting "%s" with "%s"', s:name, s:start, s:word))
    continue
  endif
  let s:found = synIDattr(synID(s:lnum, s:col, 1), 'name')
  if s:found !=# s:group
    call add(s:failures, printf('%s:%d:%d: "%s" is %s, not %s', s:name, s:lnum, s:col, s:word,
          \ s:found == '' ? 'plain' : s:found, s:group))
  endif
endfor

call writefile(s:failures, g:report)
if empty(s:failures)
  qall!
endif
cquit!
