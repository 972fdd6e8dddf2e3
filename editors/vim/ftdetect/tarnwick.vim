" Tarnwick game sources.
autocmd BufRead,BufNewFile *.adv set filetype=tarnwick
